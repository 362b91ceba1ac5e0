#include "run/options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/report.h"
#include "core/text_lines.h"
#include "io/star_rows.h"
#include "run/checks.h"
#include "run/help.h"
#include "run/init_ctf_list.h"
#include "run/keywords.h"
#include "run/option_table.h"

namespace {

[[noreturn]] void reject_option(const char* function, int line, const char* arg, const char* advice) {
  printf(
      "\033[41m\033[1m\033[5mCRITICAL ERROR: in function %s(), file %s on line %d. Failed to recognize "
      "option: %s! Exit now. %s\033[m\n\n",
      function, "ctf", line, arg, advice);
  quib_print_valid_options();
  fflush(stdout);
  exit(1);
}

// The argument after option i, which must exist.
const char* option_value(int argc, char** argv, int i, const QuibOption& option) {
  if (i + 1 >= argc) {
    char text[128];
    snprintf(text, sizeof text, "Can not get value for option --%s! Check input", option.name);
    QUIB_FATAL("ctf", text);
  }
  return argv[i + 1];
}

double finite_number(const char* value, const QuibOption& option) {
  const double number = atof(value);
  if (!std::isfinite(static_cast<float>(number))) {
    char text[128];
    snprintf(text, sizeof text, "Invalid value for option --%s: not a finite number", option.name);
    QUIB_FATAL("ctf", text);
  }
  return number;
}

void copy_text_value(char* dst, const char* value, const QuibOption& option) {
  if (strlen(value) >= static_cast<size_t>(QUIB_TEXT_SIZE)) {
    char text[128];
    snprintf(text, sizeof text, "Value of option --%s is longer than %d characters", option.name, QUIB_TEXT_SIZE - 1);
    QUIB_FATAL("ctf", text);
  }
  strlcpy(dst, value);
}

// Reads the option at argument i into the record and advances i past its value.
void read_option(const QuibOption& option, int argc, char** argv, QUIB_Para* para, int& i) {
  int names_something = 1;
  switch (option.kind) {
    case OptionKind::Float:
      para->*option.float_field = static_cast<float>(finite_number(option_value(argc, argv, i, option), option));
      ++i;
      break;
    case OptionKind::Int:
      para->*option.int_field = text_to_int(option_value(argc, argv, i, option));
      ++i;
      break;
    case OptionKind::TruncInt:
      para->*option.int_field = quib_truncate_to_int(finite_number(option_value(argc, argv, i, option), option));
      ++i;
      break;
    case OptionKind::Switch:
      get_bool_keyword(argc, argv, para->*option.int_field, i);
      break;
    case OptionKind::Text: {
      const char* value = option_value(argc, argv, i, option);
      copy_text_value(para->*option.text_field, value, option);
      names_something = !is_str_null(value);  // "NULL" or "NONE" names no file
      ++i;
      break;
    }
    case OptionKind::Ctfstar:
      quib_set_ctfstar(argc, argv, para, i);
      break;
    case OptionKind::Help:
      break;
  }
  if (option.set_flag) para->*option.set_flag = names_something;
  if (option.int_field == &QUIB_Para::boxsize && !para->convsize_set) para->convsize = para->boxsize / 6;
}

// The line (from 1) of the first "_rlnPhaseShift" within the first 100 lines of the file, or -1.
int phase_shift_label_line(const char* path) { return f_Nfind_str_line(path, "_rlnPhaseShift", 99); }

void derive_dependent_values(QUIB_Para* para) {
  int phase_line = -1;
  if (para->input_ctfstar_set) {
    para->nfiles_refine = get_all_initctf_from_ctfstar(para, para->input_ctfstar);
    phase_line = phase_shift_label_line(para->input_ctfstar);
  }
  if (!para->ctfout_resH_set || para->ctfout_resH < 2.0f * para->apix) para->ctfout_resH = 2.0f * para->apix + 0.1f;
  if (para->phase_shift_L_set || para->phase_shift_H_set || para->phase_shift_S_set || para->phase_shift_T_set) {
    para->do_phase_shift = 1;
    para->ref_control.refine_phase_shift = 1;
    if (!para->phase_shift_S_set) para->phase_shift_S = 5.0f;
    if (!para->defL_set) para->defL = 1000.0f;
    if (!para->defH_set) para->defH = 70000.0f;
    if (!para->defS_set) para->defS = 200.0f;
    if (!para->resL_set) para->resL = 15.0f;
    if (!para->boxsize_set) para->boxsize = 512;
    if (!para->convsize_set) para->convsize = para->boxsize / 20;
  }
  if (para->refine_input_ctf) {
    para->do_phase_shift = 0;
    if (phase_line >= 1 && phase_line <= 99) para->refine_input_ps = 1;
  }
}

}  // namespace

void quib_set_ctfstar(int argc, char** argv, QUIB_Para* para, int& i) {
  if (i + 1 >= argc) QUIB_FATAL("ctf", "Can not get file name for ctfstar! Check input!");
  const char* name = argv[i + 1];
  if (name[0] == '-') reject_option(__func__, __LINE__, name, "Check your input or file names please.");
  ++i;
  if (is_str_null(name)) {
    strlcpy(para->ctfstar, "NULL");
    return;
  }
  const size_t stem = strlen(name) - get_starf_suffixn(name);
  if (stem + strlen(".star") >= static_cast<size_t>(QUIB_TEXT_SIZE))
    QUIB_FATAL("ctf", "File name for ctfstar is too long");
  strlcpy(para->ctfstar, "");
  memcpy(para->ctfstar, name, stem);
  memcpy(para->ctfstar + stem, ".star", sizeof ".star");
}

int Quib_get_parameters(int argc, char** argv, QUIB_Para* para) {
  for (int i = 1; i < argc; ++i) {
    const QuibOption* option = find_quib_option(argv[i]);
    if (option && option->kind != OptionKind::Help) {
      read_option(*option, argc, argv, para, i);
    } else if (argv[i][0] == '-') {
      reject_option(__func__, __LINE__, argv[i], "Check your input please.");
    } else {
      quib_append_micrograph(para, argv[i], CTF_INIT{});
      para->nfiles_search += 1;
    }
  }
  derive_dependent_values(para);
  printf("\n");
  return Quib_check_parameters(argc, argv, para);
}
