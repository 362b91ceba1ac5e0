#include "output/diagnosis_image.h"

#include <cmath>
#include <cstdio>

#include "backend/memory.h"
#include "core/ctf_formula.h"
#include "core/ctf_model.h"
#include "core/report.h"
#include "ctf/band_ctf.h"
#include "io/mrc_header.h"
#include "io/mrc_write.h"

namespace {

// Mean and standard deviation in one pass, as E[x^2] - E[x]^2 in double: four partial sums of the
// values and of their squares, so that the additions do not wait on one another.
void display_moments(const float* data, size_t n, double& mean, double& stdv) {
  double sum[4] = {}, squares[4] = {};
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (int k = 0; k < 4; ++k) {
      const double v = data[i + k];
      sum[k] += v;
      squares[k] += v * v;
    }
  for (; i < n; ++i) {
    sum[0] += data[i];
    squares[0] += static_cast<double>(data[i]) * data[i];
  }
  mean = ((sum[0] + sum[1]) + (sum[2] + sum[3])) / static_cast<double>(n);
  const double variance =
      ((squares[0] + squares[1]) + (squares[2] + squares[3])) / static_cast<double>(n) - mean * mean;
  stdv = std::sqrt(std::fmax(variance, 0.0));
}

// Scales the values to the given mean and spread; a flat half (no spread to scale) is shown at
// the mean instead of turning into infinities.
void scale_for_display(float* data, size_t n, float spread, float mean) {
  double m = 0.0, stdv = 0.0;
  display_moments(data, n, m, stdv);
  if (!(stdv > 0.0 && std::isfinite(stdv))) {
    for (size_t i = 0; i < n; ++i) data[i] = mean;
    return;
  }
  const double factor = spread / stdv;
  for (size_t i = 0; i < n; ++i) data[i] = static_cast<float>(mean + (data[i] - m) * factor);
}

}  // namespace

void host_2d_half_sim_raw_combine(float* out, const float* sim, const float* raw, int nx, int ny) {
  const int h = nx / 2, w = h + 1;
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nx; ++x) {
      const size_t at = static_cast<size_t>(y) * nx + x;
      if (x < h - 1)
        out[at] = sim[static_cast<size_t>((ny - y) % ny) * w + (h - 1 - x)];
      else
        out[at] = raw[static_cast<size_t>(y) * w + (x - h + 1)];
    }
}

// Each row tests only the columns within a pixel of the ring's inner and outer edge; the test of
// a pixel is the same as over the whole image.
void plot_circle(float* image, float resolution, float apix, int nx, int ny) {
  const float r0 = nx * apix / resolution;
  const float width = (nx > 512 || ny > 512) ? 2.0f : 1.5f;
  if (!std::isfinite(r0)) return;  // no pixel lies within width of an infinite or undefined radius
  const double outer = static_cast<double>(r0) + width + 1.0, inner = static_cast<double>(r0) - width - 1.0;
  const auto mark = [&](int x, int y, int dx, int dy) {
    if (x < 0 || x >= nx) return;
    const float d = sqrtf(static_cast<float>(dx * dx + dy * dy));
    if (-width < d - r0 && d - r0 <= width) image[static_cast<size_t>(y) * nx + x] = 5.0f;
  };
  for (int y = 0; y < ny; ++y) {
    const int dy = y - ny / 2;
    const double dy2 = static_cast<double>(dy) * dy;
    if (outer < 0.0 || dy2 > outer * outer) continue;
    const int far = static_cast<int>(std::ceil(std::fmin(std::sqrt(outer * outer - dy2), nx)));
    const int near = inner > 0.0 && inner * inner > dy2 ? static_cast<int>(std::sqrt(inner * inner - dy2)) : 0;
    for (int dx = near; dx <= far; ++dx) {
      mark(nx / 2 + dx, y, dx, dy);
      if (dx > 0) mark(nx / 2 - dx, y, -dx, dy);
    }
  }
}

void compose_diagnosis_image(float* image, float* sim, float* spectrum, int box, float apix, float fit_resH,
                             float ring_resolution) {
  const size_t half = static_cast<size_t>(box / 2 + 1) * box;
  const double sim_mean = 2.0 * std::sqrt(kPi * fit_resH / (4.0 * apix)) / kPi;
  scale_for_display(sim, half, std::sqrt(apix / fit_resH), static_cast<float>(sim_mean));
  scale_for_display(spectrum, half, 1.0f, 0.63661975f);
  host_2d_half_sim_raw_combine(image, sim, spectrum, box, box);
  if (ring_resolution > 0.0f) plot_circle(image, ring_resolution, apix, box, box);
  image[static_cast<size_t>(box / 2) * box + box / 2] = 0.0f;
}

int quib_write_ctfout(const char* name, float* spectrum, const CTF_INFO& ctf, const DiagnosisSettings& settings) {
  const int B = settings.box, H = B / 2 + 1;
  const size_t half = static_cast<size_t>(H) * B;
  FilePtr file(fopen(name, "w+"));
  if (!file) QUIB_FATAL_CANNOT_WRITE("ctf", name);

  const float apix = settings.simulated.optics.apix;
  DeviceBuffer<float> device_sim(half);
  hcuda_band_modsquare_simulate_2d_half(device_sim.get(), H, B, settings.simulated, ctf_model_of(ctf));
  std::vector<float> sim = host_copy_of(device_sim);
  std::vector<float> image(static_cast<size_t>(B) * B);
  compose_diagnosis_image(image.data(), sim.data(), spectrum, B, apix, settings.fit_resH,
                          settings.plot_res_ring ? ctf.resolution : 0.0f);

  MrcHeadPtr head = mrc_new_head();
  mrc_set_head_xyz_mmm(head.get(), B, B, 1, -1.0f, 100.0f, 0.0f);
  mrc_set_head_mode(head.get(), 2);
  if (mrc_write_head_data(file.get(), head.get(), image.data()) != 0 || fflush(file.get()) != 0 ||
      fclose(file.release()) != 0)
    QUIB_FATAL_WRITE_FAILED("ctf", name);
  return 0;
}
