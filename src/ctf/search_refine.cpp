#include "ctf/search_refine.h"

#include "backend/memory.h"
#include "ctf/band_ctf.h"

int quib_1D_search_2D_refine(CTF_INFO& ctf, const SearchRefineSettings& settings, float* spectrum_copy,
                             const float* measured, float* work, FILE* log) {
  const int N = settings.search_1d.box;
  const int nh = N / 2 + 1;
  memcpy_D2H(spectrum_copy, measured, static_cast<size_t>(nh) * N * sizeof(float));
  const SearchContext context{measured, work, spectrum_copy, &settings, log};
  const CtfFit fit = settings.phase.refine_input ? sequence_input_phase(context)
                     : settings.phase.search     ? sequence_phase_search(context)
                                                 : sequence_ab_initio(context);
  const Optics& optics = settings.search_1d.sampling.optics;
  const CtfSampling display{optics, 50.0f, RESO{100.0f, 2.0f * optics.apix + 0.1f}};
  hcuda_band_modsquare_simulate_2d_half(work, nh, N, display, fit.model);
  const CtfModel& m = fit.model;
  ctf.set_PUVAC(m.phase_shift, m.defocus_u, m.defocus_v, m.angle, fit.ccc);
  return 0;
}
