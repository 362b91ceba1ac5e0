#include "ctf/search_refine.h"

#include "backend/memory.h"
#include "ctf/band_ctf.h"
#include "ctf/search_sequence.h"
#include "run/quib_para.h"

int quib_1D_search_2D_refine(CTF_INFO& ctf, int index, float* spectrum_copy, const float* measured, float* work,
                             const QUIB_Para* para, FILE* log) {
  const int N = para->boxsize;
  const int nh = N / 2 + 1;
  memcpy_D2H(spectrum_copy, measured, static_cast<size_t>(nh) * N * sizeof(float));
  const SearchContext context{measured, work, spectrum_copy, para, log, index};
  const CtfFit fit = para->refine_input_ps  ? sequence_input_phase(context)
                     : para->do_phase_shift ? sequence_phase_search(context)
                                            : sequence_ab_initio(context);
  hcuda_band_modsquare_simulate_2d_half(work, para->apix, nh, N, fit.P, para->kV, para->cs, para->ac, fit.U, fit.V,
                                        fit.A, 50.0f, 100.0f, 2.0f * para->apix + 0.1f);
  ctf.set_PUVAC(fit.P, fit.U, fit.V, fit.A, fit.ccc);
  return 0;
}
