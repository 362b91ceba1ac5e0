#include "arrays/fourier_band.h"

#include <cmath>

#include "arrays/array_flip.h"
#include "arrays/fft_wrappers.h"
#include "backend/launch.h"
#include "backend/memory.h"
#include "core/report.h"

BandPass band_between(double res1, double res2, BandEdge edge, float width) {
  // A resolution not above 0 is kept as NaN, which band_pass_problem refuses, rather than read as
  // an open end.
  if (!(res1 > 0.0) || !(res2 > 0.0)) return BandPass{NAN, NAN, edge, width};
  return BandPass{std::fmax(res1, res2), std::fmin(res1, res2), edge, width};
}

const char* band_pass_problem(const BandPass& band, int n, float apix) {
  if (!(apix > 0.0f)) return "the pixel size must be above 0";
  if (!(band.coarse_res > 0.0) || !(band.fine_res >= 0.0)) return "a resolution must be above 0";
  if (!(band.width >= 0.0f)) return "the edge width must not be negative";
  if (band.edge == BandEdge::kGaussian) {
    const BandRadii radii = band_radii(band, n, apix);
    if (std::isinf(radii.outer) || radii.inner <= 0.0f) return "a Gaussian band needs both resolutions";
    if (radii.inner >= n / 2 + 1) return "a Gaussian band needs its coarse resolution below Nyquist";
  }
  return nullptr;
}

BandRadii band_radii(const BandPass& band, int n, float apix) {
  const double extent = static_cast<double>(n) * apix;
  const float inner = std::isinf(band.coarse_res) ? 0.0f : static_cast<float>(extent / band.coarse_res);
  const float outer = band.fine_res > 0.0 ? static_cast<float>(extent / band.fine_res) : INFINITY;
  return BandRadii{inner, outer};
}

QUIB_HD float guasf(float x, float sigma) { return 0.3989423f * expf(-x * x / (2.0f * sigma * sigma)); }

QUIB_HD float band_factor(BandEdge edge, BandRadii radii, float width, int n, float r) {
  if (r < radii.inner) return 0.0f;
  if (r <= radii.outer) {
    if (edge != BandEdge::kGaussian) return 1.0f;
    const float m = n / 2 + 1;
    return guasf(r, radii.outer / 3.0f) * guasf(m - r, (m - radii.inner) / 3.0f);
  }
  if (edge == BandEdge::kSoft && r <= radii.outer + width) return guasf(r - radii.outer, width / 3.0f);
  return 0.0f;
}

namespace {

void apply_band(float2* transform, int n, BandEdge edge, BandRadii radii, float width) {
  const int w = n / 2 + 1;
  launch_2d(w, n, [=] QUIB_HD(int x, int y) {
    const int ky = y < n / 2 ? y : y - n;
    const float r = sqrtf(static_cast<float>(x * x + ky * ky));
    const float f = band_factor(edge, radii, width, n, r);
    float2& v = transform[static_cast<size_t>(y) * w + x];
    v.x *= f;
    v.y *= f;
  });
}

}  // namespace

int hcuda_2d_bandpass(const float* in, float* out, int n, float apix, const BandPass& band) {
  if (const char* problem = band_pass_problem(band, n, apix)) QUIB_FATAL("fourier_band", problem);
  DeviceBuffer<float2> transform(static_cast<size_t>(n / 2 + 1) * n);
  if (hcuda_2d_fft_r2c(in, transform.get(), n, n) != 0) return -1;
  apply_band(transform.get(), n, band.edge, band_radii(band, n, apix), band.width);
  return hcuda_2d_fft_c2r(transform.get(), out, n, n);
}

int hcuda_2d_bandpass_mpad(const float* in, float* out, int n, float apix, const BandPass& band) {
  DeviceBuffer<float> padded(static_cast<size_t>(4) * n * n);
  hcuda_2d_mirror_pad(padded.get(), in, n, n);
  if (hcuda_2d_bandpass(padded.get(), padded.get(), 2 * n, apix, band) != 0) return -1;
  hcuda_2d_mirror_pad_inv(out, padded.get(), n, n);
  return 0;
}
