#include "run/ctf_stages.h"

#include <cmath>

#include "core/ctf_model.h"
#include "ctf/display_images.h"
#include "ctf/resolution_limit.h"
#include "ctf/search_refine.h"
#include "output/ctf_star_writer.h"
#include "output/diagnosis_image.h"
#include "run/help.h"

namespace {

const char* const kSearchBanner =
    "* *************************************   1D   SEARCH    "
    "************************************************************ *\n";

// Replaces the host spectrum copy by a display image computed into buffers.display.
template <class F>
void show_display_image(const RunGeometry& g, RunBuffers& b, F compute) {
  compute(b.spectrum.get(), b.display.get());
  memcpy_D2H(b.spectrum_copy.get(), b.display.get(), g.spectrum_size() * sizeof(float));
}

}  // namespace

bool has_usable_spectrum(const RunGeometry& g, RunBuffers& b) {
  const size_t n = g.spectrum_size();
  float* copy = b.spectrum_copy.get();
  memcpy_D2H(copy, b.spectrum.get(), n * sizeof(float));
  bool varies = false;
  for (size_t i = 0; i < n; ++i) {
    if (!std::isfinite(copy[i])) return false;
    varies = varies || copy[i] != copy[0];
  }
  return varies;
}

void determine_ctf(const MicrographFiles& f, const QUIB_Para& p, const RunGeometry& g, RunBuffers& b,
                   StageTimers& timers, FILE* star) {
  timers.start();
  fputs(kSearchBanner, f.log);
  CTF_INFO ctf = ctf2d_default();
  quib_1D_search_2D_refine(ctf, f.index, b.spectrum_copy.get(), b.spectrum.get(), b.work_a.get(), &p, f.log);
  float P, U, V, A, fom;
  ctf.get_PUVAC(P, U, V, A, fom);
  timers.stop("1D SEARCH/2D REFINE");
  timers.stop("FITTING");

  quib_put_rule('-', 127);
  const float high = 2.0f * p.apix + 0.1f;
  float resolution = 20.0f;
  ctf_epa_1d_ccf_B_estimation(f.log, f.name, resolution, 20.0f, b.spectrum.get(), b.work_b.get(), p.EPA_oversmp,
                              p.apix, g.half, g.box, P, p.kV, p.cs, p.ac, U, V, A, p.resL, high, p.B_resL, p.B_resH,
                              p.estimate_B);
  ctf.resolution = resolution;
  quib_put_rule('-', 127);

  if (p.do_basic_rotave)
    show_display_image(g, b, [&](const float* in, float* out) {
      hcuda_2d_half_basic_rotate_ave_res(in, out, p.apix, g.half, g.box, p.resL, p.resH);
    });
  if (p.do_EPA)
    show_display_image(g, b, [&](const float* in, float* out) {
      hcuda_2d_half_EPA(in, out, p.apix, g.half, g.box, p.kV, p.cs, U, V, A, p.ctfout_resL, high);
    });
  quib_write_ctfout(b.spectrum_copy.get(), ctf, &p, f.index);

  timers.start();
  timers.stop("VALIDATION");
  if (star) {
    const float magnification = static_cast<float>(p.dstep * 10000.0 / p.apix);
    if (p.do_phase_shift)
      log_ctfstar_ex_oneline_phase_shift(star, f.name, f.ctfname, U, V, A, P, p.kV, p.cs, p.ac, magnification, p.dstep,
                                         fom, resolution);
    else
      log_ctfstar_ex_oneline(star, f.name, f.ctfname, U, V, A, p.kV, p.cs, p.ac, magnification, p.dstep, fom,
                             resolution);
    fflush(star);
  }
  for (const char* label : {"MOVIE/STACK_REFINE", "LOCAL_REFINE", "CTF_CORRECTION"}) {
    timers.start();
    timers.stop(label);
  }
}
