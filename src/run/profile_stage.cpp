#include "run/profile_stage.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "backend/memory.h"
#include "core/file_ptr.h"
#include "core/report.h"
#include "ctf/band_ctf.h"
#include "run/micrograph_names.h"
#include "run/stage_settings.h"
#include "spectrum/rotational_average.h"

namespace {

// The rotational average (one value per pixel of radius, H values) of a device half spectrum.
std::vector<float> radial_profile(const float* device_half, const RunGeometry& g) {
  std::vector<float> half(g.spectrum_size()), profile(g.half);
  memcpy_D2H(half.data(), device_half, half.size() * sizeof(float));
  rotational_average_2d_half(half.data(), profile.data(), g.half, g.box);
  return profile;
}

}  // namespace

void write_fit_profile(const MicrographFiles& f, const QUIB_Para& p, const RunGeometry& g, RunBuffers& b,
                       const CtfModel& model, float resolution) {
  const std::vector<float> measured = radial_profile(b.spectrum.subtracted.get(), g);
  // CTF^2 without envelope from the lowest frequency of the box to Nyquist.
  const float apix = p.apix;
  const CtfSampling everything{run_optics(p), 0.0f, RESO{2.0f * g.box * apix, 2.0f * apix}};
  hcuda_band_modsquare_simulate_2d_half(b.display.get(), g.half, g.box, everything, model);
  const std::vector<float> fitted = radial_profile(b.display.get(), g);

  const std::string path = profile_file(f.name);
  const FilePtr file(fopen(path.c_str(), "w"));
  if (!file) QUIB_FATAL_CANNOT_WRITE("quib", path.c_str());
  FILE* out = file.get();
  fprintf(out, "# quib fit profile of %s: rotational averages over the half spectrum (box %d, %.4f A/pixel)\n", f.name,
          g.box, apix);
  fprintf(out, "# defocus_U %.2f defocus_V %.2f angle %.2f phase_shift %.2f resolution_limit %.4f\n", model.defocus_u,
          model.defocus_v, model.angle, model.phase_shift, resolution);
  fprintf(out, "# fitting_band %.4f %.4f (A)\n", p.resL, p.resH);
  fprintf(out, "# frequency(1/A) resolution(A) spectrum(Ln|F|-background) ctf2_fit\n");
  for (int r = 1; r < g.half; ++r) {
    const double s = r / (2.0 * (g.half - 1) * apix);
    fprintf(out, "%.6f %.4f %.6f %.6f\n", s, 1.0 / s, measured[r], fitted[r]);
  }
  const bool failed = fflush(out) != 0 || ferror(out) != 0;
  if (fclose(const_cast<FilePtr&>(file).release()) != 0 || failed) QUIB_FATAL_WRITE_FAILED("quib", path.c_str());
}
