#include "run/param_lines.h"

#include "run/quib_para.h"

void fput_param_line(FILE* stream, const char* name, const char* value) {
  fprintf(stream, "        --%-19s%s\n", name, value);
}

void fput_param_float(FILE* stream, const char* name, float value, int decimals) {
  char text[64];
  snprintf(text, sizeof text, "%.*f", decimals, value);
  fput_param_line(stream, name, text);
}

void fput_param_int(FILE* stream, const char* name, int value) {
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  fput_param_line(stream, name, text);
}

void fput_general_options(FILE* stream, const QUIB_Para* p) {
  fprintf(stream, "General options:\n");
  fput_param_float(stream, "apix", p->apix, 3);
  fput_param_float(stream, "dstep", p->dstep, 3);
  fput_param_float(stream, "kv", p->kV);
  fput_param_float(stream, "cs", p->cs);
  fput_param_float(stream, "ac", p->ac);
}

void fput_bfactor_options(FILE* stream, const QUIB_Para* p) {
  fprintf(stream, "Bfactor estimation options:\n");
  fput_param_int(stream, "estimate_B", p->estimate_B);
  fput_param_float(stream, "B_resL", p->B_resL);
  fput_param_float(stream, "B_resH", p->B_resH);
}

void fput_movie_options(FILE* stream, const QUIB_Para* p) {
  fprintf(stream, "Movie options:\n");
  fput_param_int(stream, "do_mdef_refine", p->do_mdef_refine);
  fput_param_int(stream, "mdef_ave_type", p->mdef_ave_type);
  fput_param_int(stream, "mdef_aveN", p->mdef_aveN);
  fput_param_int(stream, "mdef_fit", p->mdef_fit);
}

void fput_correction_options(FILE* stream, const QUIB_Para* p) {
  fprintf(stream, "Correction options:  \n");
  fprintf(stream, "         --do_phase_flip     %d\n", p->do_phase_flip);
}

void fput_input_ctf_values(FILE* stream, const QUIB_Para* p) {
  fput_param_float(stream, "ps_init", p->ps_init);
  fput_param_float(stream, "defU_init", p->defU_init);
  fput_param_float(stream, "defV_init", p->defV_init);
  fput_param_float(stream, "defA_init", p->defA_init);
  fput_param_float(stream, "B_init", p->B_init);
  fput_param_float(stream, "ps_err", p->ps_err);
  fput_param_float(stream, "defU_err", p->defU_err);
  fput_param_float(stream, "defV_err", p->defV_err);
  fput_param_float(stream, "defA_err", p->defA_err);
  fput_param_float(stream, "B_err", p->B_err);
  fput_param_line(stream, "input_ctfstar", p->input_ctfstar);
}

void fput_diagnosis_options(FILE* stream, const QUIB_Para* p) {
  fprintf(stream, "Diagnosis CTF output options:\n");
  fput_param_float(stream, "ctfout_resL", p->ctfout_resL);
  fput_param_float(stream, "ctfout_resH", p->ctfout_resH);
  fput_param_float(stream, "ctfout_bfac", p->ctfout_bfac);
}
