#include "run/param_log.h"

#include "run/param_lines.h"
#include "run/version.h"

namespace {

void fput_phase_shift_options(FILE* stream, const QUIB_Para* p) {
  fprintf(stream, "Phase shift options:\n");
  fprintf(stream, p->do_phase_shift ? "ON\n" : "OFF\n");
  fput_param_float(stream, "phase_shift_L", p->phase_shift_L);
  fput_param_float(stream, "phase_shift_H", p->phase_shift_H);
  fput_param_float(stream, "phase_shift_S", p->phase_shift_S);
  fput_param_int(stream, "phase_shift_T", p->phase_shift_T);
}

void fput_advanced_options(FILE* stream, const QUIB_Para* p) {
  fprintf(stream, "Advanced options:\n");
  fput_param_float(stream, "bfac", p->bfac);
  fput_param_float(stream, "defL", p->defL);
  fput_param_float(stream, "defH", p->defH);
  fput_param_float(stream, "astm", p->astm);
  fput_param_float(stream, "resL", p->resL);
  fput_param_float(stream, "resH", p->resH);
  fput_param_int(stream, "boxsize", p->boxsize);
  fput_param_float(stream, "overlap", p->overlap);
  fput_param_int(stream, "convsize", p->convsize);
  fput_param_int(stream, "do_EPA", p->do_EPA);
  fput_param_int(stream, "refine_after_EPA", p->refine_after_EPA);
  fput_param_int(stream, "do_Hres_ref", p->do_Hres_ref);
  fput_param_float(stream, "Href_resL", p->Href_resL);
  fput_param_float(stream, "Href_resH", p->Href_resH);
  fput_param_float(stream, "Href_bfac", p->Href_bfac);
}

void fput_local_options(FILE* stream, const QUIB_Para* p) {
  fprintf(stream, "Local refinement options:\n");
  fput_param_int(stream, "do_local_refine", p->do_local_refine);
  fput_param_float(stream, "local_radius", p->local_radius);
  fput_param_int(stream, "local_boxsize", p->local_boxsize);
  fput_param_float(stream, "local_overlap", p->local_overlap);
  fput_param_int(stream, "local_boxtype", p->local_boxtype);
  fput_param_int(stream, "local_avetype", p->local_avetype);
}

void fput_io_options(FILE* stream, const QUIB_Para* p) {
  fprintf(stream, "I/O options:\n");
  fput_param_line(stream, "ctfstar", p->ctfstar);
  fput_param_line(stream, "logsuffix", p->logsuffix);
  fput_param_line(stream, "boxsuffix", p->boxsuffix);
  fput_param_int(stream, "write_local_ctf", p->write_local_ctf);
  fput_param_int(stream, "skip_check_mrc", p->skip_check_mrc);
  fput_param_int(stream, "skip_check_gpu", p->skip_check_gpu);
  fput_param_int(stream, "plot_res_ring", p->plot_res_ring);
  fput_param_int(stream, "do_unfinished", p->do_unfinished);
  fput_param_int(stream, "gid", p->gid);
}

void fput_relion_block(FILE* stream, const QUIB_Para* p) {
  const float magnification = 10000.0f * p->dstep / p->apix;
  fprintf(stream,
          "********************************  parameter format for RELION: "
          "*********************************************\n\n");
  fprintf(stream, " CS[mm], HT[kV], AmpCnst, XMAG, DStep[um]\n");
  fprintf(stream, "  %.1f    %.1f    %.2f  %.1f   %.3f\n\n", p->cs, p->kV, p->ac, magnification, p->dstep);
  fprintf(stream, " Positive defocus values for underfocus\n");
  fprintf(stream, " Box, ResMin[A], ResMax[A], dFMin[A], dFMax[A], FStep[A], dAst[A]\n");
  fprintf(stream, " %d       %.1f        %.1f   10000.0   70000.0  500.0    0.0\n", p->boxsize, p->resL, p->resH);
  fprintf(stream,
          "********************************* end of parameter format for RELION: "
          "*************************************\n\n");
}

}  // namespace

int Quib_fput_parameters(FILE* stream, const QUIB_Para* p) {
  fprintf(stream, "\nQUIB , %s %s\n", QUIB_VERSION, QUIB_DATE);
  fprintf(stream, "All parameters to be used:\n");
  fput_general_options(stream, p);
  fput_phase_shift_options(stream, p);
  fput_advanced_options(stream, p);
  fput_bfactor_options(stream, p);
  fput_movie_options(stream, p);
  fput_local_options(stream, p);
  fput_correction_options(stream, p);
  fprintf(stream, "CTF input parameters for refinement:\n");
  fput_param_int(stream, "refine_input_ctf", p->refine_input_ctf);
  fput_input_ctf_values(stream, p);
  fprintf(stream, "Validation options:  \n");
  fput_param_int(stream, "do_validation", p->do_validation);
  fput_diagnosis_options(stream, p);
  fput_io_options(stream, p);
  return 0;
}

int Quib_fput_parameters_ctffind3(FILE* stream, const QUIB_Para* para, int) {
  Quib_fput_parameters(stream, para);
  fput_relion_block(stream, para);
  return 0;
}
