#include "ctf/refine_start.h"

#include <cstdio>

#include "ctf/random_seed.h"

bool refines_input_ctf(const RefineStartSettings& settings) { return settings.input != InputCtf::None; }

int quib_set_init_defUVA_for_2D_refine(RefineStart& start, const RefineStartSettings& settings, float D) {
  CtfModel& m = start.model;
  if (refines_input_ctf(settings)) {
    const CTF_INIT& v = settings.values;
    m = CtfModel{v.defocus_u, v.defocus_v, v.angle, v.phase_shift};
    start.bfactor = v.bfactor;
    start.phase_step = settings.phase_step;
    start.defocus_step = settings.defocus_step;
    start.angle_step = settings.angle_step;
    start.bfactor_step = settings.bfactor_step;
    if (settings.input == InputCtf::CommandLine) return 1;
    printf("input PS= %f defocus_U= %f defocus_V= %f  def_err= %f  angle_azimuth= %f  angle_err= %f  \n", m.phase_shift,
           m.defocus_u, m.defocus_v, start.defocus_step, m.angle, start.angle_step);
    return 2;
  }
  m.defocus_u = D - settings.astigmatism / 2.0f;
  m.defocus_v = D + settings.astigmatism / 2.0f;
  quib_reseed();
  m.angle = static_cast<float>(quib_random_unit() * 30.0);
  start.bfactor = settings.bfactor;
  start.bfactor_step = settings.bfactor_step;
  start.angle_step = 30.0f;
  start.defocus_step = settings.grid_step;
  return 3;
}
