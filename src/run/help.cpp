#include "run/help.h"

#include <array>
#include <cstdio>

#include "backend/device.h"
#include "run/option_table.h"
#include "run/tips.h"
#include "run/version.h"

namespace {

constexpr std::array<const char*, 0> QUIB_ALL_NOTIFICATIONS{};

void put_option_line(const QuibOption& option) {
  printf("   --%-18s %-26s %s\n", option.name, option.default_text, option.meaning);
}

void put_named_option_line(const char* name) { put_option_line(*quib_option_named(name)); }

void put_help_switches() { printf("   %-20s %-26s %s\n", "-h, --help", "", quib_option_named("help")->meaning); }

void put_usage(const char* path) {
  printf("\n\033[1m Usage:\033[m ");
  printf("         %s [options] <micrographs>  \n\n", path);
}

}  // namespace

void quib_put_rule(char c, int n) {
  for (int k = 0; k < n; ++k) putchar(c);
  putchar('\n');
}

void quib_put_info(const char* path) {
  quib_put_rule('*', 99);
  printf("Version:       %s %s, updated on %s\n", path, QUIB_VERSION, QUIB_DATE);
  printf("Backend:       %s\n", backend_name());
  printf("Help:          %s --help   (the full list of options and tips)\n", path);
  printf(
      "Description:   This is a GPU accelerated program for Real-Time CTF determination, refinement, "
      "evaluation and correction.\n");
  quib_put_rule('*', 99);
}

void quib_search_refine_defocus_help(const char* path) {
  put_usage(path);
  printf("   %-20s %-26s %s\n", "option", "default", "meaning");
  put_named_option_line("apix");
  put_named_option_line("kV");
  put_named_option_line("cs");
  printf(" Additional options:  \n");
  put_named_option_line("do_EPA");
  put_named_option_line("do_local_refine");
  put_named_option_line("do_phase_flip");
  put_named_option_line("do_validation");
  put_named_option_line("do_unfinished");
  put_named_option_line("boxsuffix");
  put_named_option_line("gid");
  put_help_switches();
  printf("\nExamples:\n");
  printf("   %s --apix 1.06 --kV 300 --cs 2.7 Micrographs/*.mrc\n", path);
  printf("   %s --apix 1.06 --do_EPA --do_validation --ctfstar session1 Micrographs/*.mrc\n", path);
  printf("   %s --apix 1.06 --do_local_refine --boxsuffix _autopick.star Micrographs/*.mrc\n", path);
  printf("   %s --apix 1.06 --refine_input_ctf --input_ctfstar micrographs_all_quib.star --ctfstar refined\n", path);
  printf("\nPhase plate examples:\n");
  printf("   %s --apix 1.06 --phase_shift_L 0 --phase_shift_H 180 Micrographs/*.mrc\n", path);
  printf(
      "   %s --apix 1.06 --phase_shift_L 30 --phase_shift_H 120 --phase_shift_S 5 --phase_shift_T 2 "
      "Micrographs/*.mrc\n",
      path);
  printf(
      "\nExit status: 0 when every micrograph finished, 2 when some were skipped (they are listed at the end\n"
      "with the reason), 1 when the run stopped on an error or none finished.\n\n");
}

void quib_search_refine_defocus_help_more(const char* path) {
  put_usage(path);
  printf("   %-20s %-26s %s\n", "option", "default", "meaning");
  for (int k = 0; k < QUIB_OPTIONS_LISTED; ++k)
    if (QUIB_OPTIONS[k].kind != OptionKind::Help) put_option_line(QUIB_OPTIONS[k]);
  for (const char* name : {"seed", "ctfstar_format", "gain", "write_profile", "quiet", "watch", "watch_idle"})
    put_option_line(*quib_option_named(name));
  put_help_switches();
  printf("\n");
}

void quib_search_refine_defocus_help_full(const char* path) {
  quib_search_refine_defocus_help_more(path);
  quib_put_all_tips();
  quib_put_all_notification();
  quib_put_info(path);
}

void quib_put_all_notification() {
  for (const char* notification : QUIB_ALL_NOTIFICATIONS) printf("%s\n", notification);
}

void quib_print_valid_options() {
  quib_put_rule('-', 130);
  printf("All valid options:\n");
  for (int k = 0; k < QUIB_OPTIONS_LISTED; ++k) printf("--%s\t ", QUIB_OPTIONS[k].name);
  printf("\n");
  quib_put_rule('-', 128);
}
