#include "run/echo.h"

#include <cstdio>
#include <cstdlib>

#include "core/text_lines.h"
#include "run/help.h"
#include "run/option_table.h"
#include "run/param_lines.h"

namespace {

// One line for the option at argument i, its value as typed (switches: the stored value).
// Returns how many value arguments the option took.
int put_typed_option(const QuibOption& option, int argc, char** argv, int i, const QUIB_Para* p) {
  const char* value = i + 1 < argc ? argv[i + 1] : "";
  // The voltage is labelled "kv" in both parts of the echo.
  const char* label = option.float_field == &QUIB_Para::kV ? "kv" : option.name;
  switch (option.kind) {
    case OptionKind::Float:
      fput_param_float(stdout, label, static_cast<float>(atof(value)), option.float_field == &QUIB_Para::apix ? 3 : 2);
      return 1;
    case OptionKind::TruncInt:
      fput_param_float(stdout, label, static_cast<float>(atof(value)));
      return 1;
    case OptionKind::Int:
      fput_param_int(stdout, label, text_to_int(value));
      return 1;
    case OptionKind::Text:
    case OptionKind::Ctfstar:
      fput_param_line(stdout, label, value);
      return 1;
    case OptionKind::Switch: {
      const int stored = p->*option.int_field;
      const bool skip_check =
          option.int_field == &QUIB_Para::skip_check_mrc || option.int_field == &QUIB_Para::skip_check_gpu;
      if (skip_check) {
        printf("        --%-19s %d\n", label, stored);
      } else {
        fput_param_int(stdout, label, stored);
      }
      return 0;
    }
    case OptionKind::Help:
      break;
  }
  return 0;
}

void put_user_input(int argc, char** argv, const QUIB_Para* p) {
  quib_put_rule('*', 99);
  printf("User input parameters:\n");
  for (int i = 1; i < argc; ++i) {
    const QuibOption* option = find_quib_option(argv[i]);
    if (option) i += put_typed_option(*option, argc, argv, i, p);
  }
}

void put_advanced_options(const QUIB_Para* p) {
  printf("Advanced options:\n");
  fput_param_float(stdout, "bfac", p->bfac);
  fput_param_float(stdout, "defL", p->defL);
  fput_param_float(stdout, "defH", p->defH);
  fput_param_float(stdout, "defS", p->defS);
  fput_param_float(stdout, "astm", p->astm);
  fput_param_float(stdout, "resL", p->resL);
  fput_param_float(stdout, "resH", p->resH);
  fput_param_int(stdout, "boxsize", p->boxsize);
  fput_param_float(stdout, "overlap", p->overlap);
  fput_param_int(stdout, "convsize", p->convsize);
  fput_param_int(stdout, "do_validation", p->do_validation);
  fput_param_int(stdout, "do_EPA", p->do_EPA);
  fput_param_int(stdout, "do_Hres_ref", p->do_Hres_ref);
  fput_param_float(stdout, "Href_resL", p->Href_resL);
  fput_param_float(stdout, "Href_resH", p->Href_resH);
  fput_param_float(stdout, "Href_bfac", p->Href_bfac);
  fput_param_int(stdout, "refine_after_EPA", p->refine_after_EPA);
}

void put_values_in_use(const QUIB_Para* p) {
  printf("\nAll parameters to be used:\n");
  fput_general_options(stdout, p);
  printf("Phase shift options: %s\n", p->do_phase_shift ? "ON" : "OFF");
  fput_param_float(stdout, "phase_shift_L", p->phase_shift_L);
  fput_param_float(stdout, "phase_shift_H", p->phase_shift_H);
  fput_param_float(stdout, "phase_shift_S", p->phase_shift_S);
  fput_param_int(stdout, "phase_shift_T", p->phase_shift_T);
  put_advanced_options(p);
  fput_bfactor_options(stdout, p);
  fput_movie_options(stdout, p);
  printf("Local refinement options:\n");
  fput_param_int(stdout, "do_local_refine", p->do_local_refine);
  fput_param_float(stdout, "local_radius", p->local_radius);
  fput_param_int(stdout, "local_boxsize", p->local_boxsize);
  fput_param_float(stdout, "local_overlap", p->local_overlap);
  fput_param_int(stdout, "local_avetype", p->local_avetype);
  fput_correction_options(stdout, p);
  printf("Validation options:  \n");
  printf("         --do_validation     %d\n", p->do_validation);
  printf("Input CTF parameters for refinement:\n");
  fput_param_int(stdout, "refine_input_ctf", p->refine_input_ctf);
  fput_input_ctf_values(stdout, p);
  fput_diagnosis_options(stdout, p);
  printf("I/O options:\n");
  fput_param_line(stdout, "ctfstar", p->ctfstar);
  fput_param_line(stdout, "logsuffix", p->logsuffix);
  fput_param_line(stdout, "boxsuffix", p->boxsuffix);
  fput_param_int(stdout, "write_local_ctf", p->write_local_ctf);
  fput_param_int(stdout, "plot_res_ring", p->plot_res_ring);
  fput_param_int(stdout, "skip_check_mrc", p->skip_check_mrc);
  fput_param_int(stdout, "skip_check_gpu", p->skip_check_gpu);
  fput_param_int(stdout, "gid", p->gid);
  fput_param_int(stdout, "do_unfinished", p->do_unfinished);
}

void put_file_lists(const QUIB_Para* p) {
  printf("\nAll %d files to be searched and refined:\n", p->nfiles_search);
  for (int k = 0; k < p->nfiles_search; ++k) printf("        %s\n", p->fnames[k]);
  if (p->nfiles_refine <= 0) return;
  printf("All %d files to be refined:\n", p->nfiles_refine);
  for (int k = p->nfiles_search; k < p->nfiles; ++k) printf("        %s\n", p->fnames[k]);
}

}  // namespace

int Quib_put_parameters(int argc, char** argv, const QUIB_Para* para) {
  put_user_input(argc, argv, para);
  put_values_in_use(para);
  put_file_lists(para);
  return 0;
}
