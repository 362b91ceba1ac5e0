#include "run/ctf_stages.h"

#include <cmath>

#include "backend/device_failure.h"
#include "core/ctf_model.h"
#include "core/report.h"
#include "ctf/display_images.h"
#include "ctf/resolution_limit.h"
#include "ctf/search_refine.h"
#include "output/ctf_star_writer.h"
#include "output/diagnosis_image.h"
#include "output/results_star.h"
#include "run/help.h"
#include "run/local_refine_stage.h"
#include "run/movie_stage.h"
#include "run/phase_flip_stage.h"
#include "run/profile_stage.h"
#include "run/stage_settings.h"
#include "run/stage_timer.h"
#include "run/validation_stage.h"

namespace {

const char* const kSearchBanner =
    "* *************************************   1D   SEARCH    "
    "************************************************************ *\n";

// The search and refinement, timed as FITTING (from the log's "Reading" lines on) around
// 1D SEARCH/2D REFINE. buffers.fitted ends holding the fitted CTF^2 E.
CTF_INFO fit_ctf(const MicrographFiles& f, const QUIB_Para& p, RunBuffers& b) {
  StageTimer fitting("FITTING");
  fprintf(f.log, "\n");
  put_log_line(f.log, "Reading %s.\n", f.name);
  put_log_line(f.log, "Processing file: %s\n", f.name);
  StageTimer search("1D SEARCH/2D REFINE");
  fputs(kSearchBanner, f.log);
  CTF_INFO ctf = ctf2d_default();
  quib_1D_search_2D_refine(ctf, search_refine_settings(p, f.index), b.spectrum.host.get(), b.spectrum.subtracted.get(),
                           b.fitted.get(), f.log);
  return ctf;
}

// Replaces the host spectrum by a display image computed into buffers.display.
template <class F>
void show_display_image(const RunGeometry& g, RunBuffers& b, F compute) {
  compute(b.spectrum.subtracted.get(), b.display.get());
  memcpy_D2H(b.spectrum.host.get(), b.display.get(), g.spectrum_size() * sizeof(float));
}

void append_star_row(ResultsStar& star, const MicrographFiles& f, const QUIB_Para& p, const CTF_INFO& ctf) {
  const float magnification = static_cast<float>(p.dstep * 10000.0 / p.apix);
  const CtfStarRow row{f.name,        f.ctfname, ctf_model_of(ctf), run_optics(p),
                       magnification, p.dstep,   ctf.ccc,           ctf.resolution};
  if (!append_results_row(star, ctfstar_row_text(row, p.do_phase_shift, ctfstar_layout(p))))
    QUIB_FATAL_WRITE_FAILED("quib", star.path.c_str());
}

// A fit that left no positive, finite defocus and angle has nothing to report.
bool is_usable_fit(const CtfModel& m) {
  return std::isfinite(m.defocus_u) && std::isfinite(m.defocus_v) && std::isfinite(m.angle) &&
         std::isfinite(m.phase_shift) && m.defocus_u > 0.0f && m.defocus_v > 0.0f;
}

}  // namespace

void end_run_on_device_failure() {
  if (device_failed()) QUIB_FATAL(device_failure().unit.c_str(), device_failure().text.c_str());
}

void put_log_line(FILE* log, const char* format, const char* name) {
  fprintf(log, format, name);
  printf(format, name);
}

bool has_usable_spectrum(const RunGeometry& g, MicrographSpectrum& spectrum) {
  const size_t n = g.spectrum_size();
  float* copy = spectrum.host.get();
  memcpy_D2H(copy, spectrum.subtracted.get(), n * sizeof(float));
  bool varies = false;
  for (size_t i = 0; i < n; ++i) {
    if (!std::isfinite(copy[i])) return false;
    varies = varies || copy[i] != copy[0];
  }
  return varies;
}

std::string determine_ctf(const MicrographFiles& f, const QUIB_Para& p, const RunGeometry& g, RunBuffers& b,
                          ResultsStar* star) {
  CTF_INFO ctf = fit_ctf(f, p, b);
  const CtfModel model = ctf_model_of(ctf);
  end_run_on_device_failure();
  if (!is_usable_fit(model)) return "the fit found no finite, positive defocus";
  const Optics optics = run_optics(p);

  quib_put_rule('-', 127);
  ctf.resolution = ctf_epa_1d_ccf_B_estimation(b.spectrum.subtracted.get(), b.spectrum.log_amplitude.get(), g.half,
                                               g.box, optics, model, resolution_settings(p), EpaOutput{f.name, f.log})
                       .resolution;
  quib_put_rule('-', 127);
  if (p.write_profile) write_fit_profile(f, p, g, b, model, ctf.resolution);

  if (p.do_basic_rotave)
    show_display_image(g, b, [&](const float* in, float* out) {
      hcuda_2d_half_basic_rotate_ave_res(in, out, p.apix, g.half, g.box, RESO{p.resL, p.resH});
    });
  if (p.do_EPA)
    show_display_image(g, b, [&](const float* in, float* out) {
      hcuda_2d_half_EPA(in, out, g.half, g.box, optics, model, RESO{p.ctfout_resL, 2.0f * p.apix + 0.1f});
    });
  quib_write_ctfout(f.ctfname, b.spectrum.host.get(), ctf, diagnosis_settings(p));

  {
    StageTimer validation("VALIDATION");
    if (p.do_validation) validate_micrograph_ctf(f, p, g, b, ctf);
  }
  end_run_on_device_failure();
  if (star) append_star_row(*star, f, p, ctf);
  {
    StageTimer movie("MOVIE/STACK_REFINE");
    if (p.do_mdef_refine) refine_movie_windows(f, p, g, b, ctf);
  }
  end_run_on_device_failure();
  {
    StageTimer local("LOCAL_REFINE");
    if (p.do_local_refine) refine_micrograph_locally(f, p, g, b, ctf);
  }
  end_run_on_device_failure();
  {
    StageTimer correction("CTF_CORRECTION");
    if (p.do_phase_flip) write_phase_flipped_micrograph(f, p, g, b, ctf);
  }
  end_run_on_device_failure();
  return "";
}
