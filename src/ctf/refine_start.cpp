#include "ctf/refine_start.h"

#include <cstdio>

#include "ctf/random_seed.h"
#include "run/quib_para.h"

namespace {

bool refines_command_line_ctf(const QUIB_Para* para) {
  return para->refine_input_ctf && !para->input_ctfstar_set && para->nfiles == 1;
}

bool refines_star_ctf(const QUIB_Para* para, int index) {
  return para->refine_input_ctf && para->input_ctfstar_set && index >= 0 && index < para->nfiles &&
         para->init_ctfs[index].has_init == 1;
}

}  // namespace

bool refines_input_ctf(const QUIB_Para* para, int index) {
  return refines_command_line_ctf(para) || refines_star_ctf(para, index);
}

int quib_set_init_defUVA_for_2D_refine(float& P, float& U, float& V, float& A, float& B, float& Perr, float& Derr,
                                       float& Aerr, float& Berr, const QUIB_Para* para, int index, float D) {
  if (refines_command_line_ctf(para)) {
    P = para->ps_init;
    U = para->defU_init;
    V = para->defV_init;
    A = para->defA_init;
    B = para->B_init;
    Perr = para->ps_err;
    Derr = (para->defU_err + para->defV_err) / 2.0f;
    Aerr = para->defA_err;
    Berr = para->B_err;
    return 1;
  }
  if (refines_star_ctf(para, index)) {
    const CTF_INIT& init = para->init_ctfs[index];
    P = init.phase_shift;
    U = init.defocus_u;
    V = init.defocus_v;
    A = init.angle;
    B = init.bfactor;
    Perr = para->phase_shift_S;
    Derr = (para->defU_err + para->defV_err) / 2.0f;
    Aerr = para->defA_err;
    Berr = para->B_err;
    printf("input PS= %f defocus_U= %f defocus_V= %f  def_err= %f  angle_azimuth= %f  angle_err= %f  \n", P, U, V, Derr,
           A, Aerr);
    return 2;
  }
  U = D - para->astm / 2.0f;
  V = D + para->astm / 2.0f;
  quib_reseed();
  A = static_cast<float>(quib_random_unit() * 30.0);
  B = para->B_init;
  Berr = para->B_err;
  Aerr = 30.0f;
  Derr = para->defS;
  return 3;
}
