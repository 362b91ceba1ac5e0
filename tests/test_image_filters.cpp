// Filters, masks, local means and binning against direct computations on small images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "arrays/box_std.h"
#include "arrays/circular_mask.h"
#include "arrays/fourier_band.h"
#include "arrays/image_binning.h"
#include "arrays/local_background.h"
#include "backend/memory.h"

namespace {

std::vector<float> test_image(int nx, int ny, int nz = 1) {
  std::vector<float> v(static_cast<size_t>(nx) * ny * nz);
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(std::sin(0.7 * i) + 0.3 * std::cos(1.9 * i * i));
  return v;
}

// The band's weight at radius r, written from its definition.
double reference_weight(BandEdge edge, double inner, double outer, double width, int n, double r) {
  auto gauss = [](double x, double sigma) { return 0.3989423 * std::exp(-x * x / (2 * sigma * sigma)); };
  if (r < inner) return 0;
  if (r <= outer) {
    const double m = n / 2 + 1;
    return edge == BandEdge::kGaussian ? gauss(r, outer / 3) * gauss(m - r, (m - inner) / 3) : 1;
  }
  return edge == BandEdge::kSoft && r <= outer + width ? gauss(r - outer, width / 3) : 0;
}

// n^2 times the band-passed image by a full double-precision DFT.
std::vector<double> reference_bandpass(const std::vector<float>& in, int n, double inner, double outer, BandEdge edge,
                                       double width) {
  using C = std::complex<double>;
  const double pi = std::acos(-1.0);
  std::vector<C> spectrum(static_cast<size_t>(n) * n);
  for (int ky = 0; ky < n; ++ky)
    for (int kx = 0; kx < n; ++kx) {
      C sum = 0;
      for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) sum += double(in[y * n + x]) * std::polar(1.0, -2 * pi * (kx * x + ky * y) / n);
      const int fx = kx <= n / 2 ? kx : n - kx;
      const int fy = ky < n / 2 ? ky : ky - n;
      spectrum[ky * n + kx] =
          sum * reference_weight(edge, inner, outer, width, n, std::sqrt(double(fx * fx + fy * fy)));
    }
  std::vector<double> out(static_cast<size_t>(n) * n);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      C sum = 0;
      for (int ky = 0; ky < n; ++ky)
        for (int kx = 0; kx < n; ++kx) sum += spectrum[ky * n + kx] * std::polar(1.0, 2 * pi * (kx * x + ky * y) / n);
      out[y * n + x] = sum.real();
    }
  return out;
}

std::vector<float> run_bandpass(const std::vector<float>& in, int n, float apix, const BandPass& band, bool mirror) {
  DeviceBuffer<float> image = device_copy_of(in);
  const int status = mirror ? hcuda_2d_bandpass_mpad(image.get(), image.get(), n, apix, band)
                            : hcuda_2d_bandpass(image.get(), image.get(), n, apix, band);
  EXPECT_EQ(status, 0);
  return host_copy_of(image);
}

// in(x, y) of the 2nx x 2ny mirror-padded image.
float mirrored(const std::vector<float>& in, int nx, int ny, int x, int y) {
  return in[(y < ny ? y : 2 * ny - 1 - y) * nx + (x < nx ? x : 2 * nx - 1 - x)];
}

}  // namespace

TEST(ImageFilters, BandPassesMatchDirectFourierFilteringOnEvenAndOddSizes) {
  const float apix = 2.0f;
  for (int n : {8, 9}) {
    const std::vector<float> in = test_image(n, n);
    const double extent = n * apix;
    struct Case {
      BandPass band;
      double inner, outer;
    };
    const Case cases[] = {
        {band_between(6.0, 2 * extent / 3, BandEdge::kSharp, 0), 1.5, extent / 6},
        {band_between(2 * extent / 3, 6.0, BandEdge::kSharp, 0), 1.5, extent / 6},  // order does not matter
        {band_between(extent / 2, extent / 2, BandEdge::kSharp, 0), 2, 2},          // only the ring r = 2
        {band_between(extent / 1.2, extent / 2, BandEdge::kSoft, 1.6f), 1.2, 2},
        {band_between(extent / 1.2, extent / 3, BandEdge::kGaussian, 0), 1.2, 3},
        {BandPass{INFINITY, extent / 2.5, BandEdge::kSharp, 0}, 0, 2.5},  // low-pass
        {BandPass{extent / 1.5, 0, BandEdge::kSharp, 0}, 1.5, INFINITY},  // high-pass
    };
    for (const Case& c : cases) {
      const std::vector<double> want = reference_bandpass(in, n, c.inner, c.outer, c.band.edge, c.band.width);
      const std::vector<float> got = run_bandpass(in, n, apix, c.band, false);
      for (size_t i = 0; i < want.size(); ++i) ASSERT_NEAR(got[i], want[i], 2e-3) << "n " << n << " pixel " << i;
    }
  }
}

TEST(ImageFilters, MirrorPaddedBandPassFiltersThePaddedImage) {
  for (int n : {6, 7}) {
    const std::vector<float> in = test_image(n, n);
    std::vector<float> padded(4 * n * n);
    for (int y = 0; y < 2 * n; ++y)
      for (int x = 0; x < 2 * n; ++x) padded[y * 2 * n + x] = mirrored(in, n, n, x, y);
    const BandPass band = band_between(4.0, 12.0, BandEdge::kSoft, 2.0f);
    const std::vector<double> want = reference_bandpass(padded, 2 * n, 2 * n / 12.0, 2 * n / 4.0, BandEdge::kSoft, 2);
    const std::vector<float> got = run_bandpass(in, n, 1.0f, band, true);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) ASSERT_NEAR(got[y * n + x], want[y * 2 * n + x], 5e-3) << "n " << n;
  }
}

TEST(ImageFilters, CircularMaskIsOneInsideGaussianOnTheEdgeAndZeroOutside) {
  for (int nx : {10, 11}) {
    const int ny = 9;
    const float radius = 2.5f, width = 1.5f;
    DeviceBuffer<float> mask(nx * ny);
    hcuda_2d_generate_central_rmask(mask.get(), nx, ny, radius, width);
    const std::vector<float> soft = host_copy_of(mask);
    hcuda_2d_generate_central_rmask(mask.get(), nx, ny, radius, 0.0f);
    const std::vector<float> sharp = host_copy_of(mask);
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) {
        const double d = std::hypot(x - (nx - 1) / 2.0, y - (ny - 1) / 2.0);
        const double want = d <= radius           ? 1
                            : d <= radius + width ? std::exp(-4.5 * (d - radius) * (d - radius) / 2.25)
                                                  : 0;
        EXPECT_NEAR(soft[y * nx + x], want, 1e-6) << x << "," << y;
        EXPECT_EQ(sharp[y * nx + x], d <= radius ? 1.0f : 0.0f) << x << "," << y;
      }
  }
}

TEST(ImageFilters, LocalMeanAndSpreadAreSoftDiskAveragesOfTheMirrorPaddedImage) {
  const int nx = 7, ny = 6;
  const float radius = 1.5f, width = 1.0f;
  const std::vector<float> in = test_image(nx, ny);
  DeviceBuffer<float> image = device_copy_of(in);
  DeviceBuffer<float> result(nx * ny);
  ASSERT_EQ(hcuda_2d_bg_mpad(result.get(), image.get(), nx, ny, radius, width), 0);
  const std::vector<float> mean = host_copy_of(result);
  ASSERT_EQ(hcuda_2d_local_sigma_softR_mpad(result.get(), image.get(), nx, ny, radius, width), 0);
  const std::vector<float> spread = host_copy_of(result);
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nx; ++x) {
      double weight = 0, sum = 0, sum_sq = 0;
      for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx) {
          const double d = std::hypot(dx, dy);
          const double w = d <= radius ? 1 : d <= radius + width ? std::exp(-4.5 * (d - radius) * (d - radius)) : 0;
          const int px = (x + dx + 2 * nx) % (2 * nx), py = (y + dy + 2 * ny) % (2 * ny);
          const double v = mirrored(in, nx, ny, px, py);
          weight += w;
          sum += w * v;
          sum_sq += w * v * v;
        }
      const double m = sum / weight;
      EXPECT_NEAR(mean[y * nx + x], m, 1e-5);
      EXPECT_NEAR(spread[y * nx + x], std::sqrt(sum_sq / weight - m * m), 1e-4);
    }
  // A flat image has no spread: rounding below zero must not turn into NaN.
  DeviceBuffer<float> flat = device_copy_of(std::vector<float>(nx * ny, 1234.567f));
  ASSERT_EQ(hcuda_2d_local_sigma_softR_mpad(result.get(), flat.get(), nx, ny, radius, width), 0);
  for (float v : host_copy_of(result)) EXPECT_TRUE(v >= 0.0f && v < 0.05f) << v;
}

TEST(ImageFilters, WindowStandardDeviationIsTheSpreadAboutTheWindowMean) {
  const int nx = 9, ny = 7;
  std::vector<float> in = test_image(nx, ny);
  for (size_t i = 0; i < in.size(); ++i) in[i] = 1000.0f + 3.0f * in[i] + 0.5f * (i % nx);  // offset and slope
  DeviceBuffer<float> image = device_copy_of(in), out(nx * ny);
  for (int k : {1, 2, 3, 4, 7}) {
    hcuda_2d_std_by_box(image.get(), out.get(), nx, ny, k, k);
    const std::vector<float> got = host_copy_of(out);
    const int h = k / 2;
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) {
        // The window of the window mean: k/2 before to k/2 - 1 after, cut to the image.
        const int x0 = h ? std::max(x - h, 0) : x, x1 = h ? std::min(x + h, nx) : x + 1;
        const int y0 = h ? std::max(y - h, 0) : y, y1 = h ? std::min(y + h, ny) : y + 1;
        double sum = 0, squares = 0;
        const int count = (x1 - x0) * (y1 - y0);
        for (int j = y0; j < y1; ++j)
          for (int i = x0; i < x1; ++i) sum += in[j * nx + i];
        for (int j = y0; j < y1; ++j)
          for (int i = x0; i < x1; ++i) squares += std::pow(in[j * nx + i] - sum / count, 2);
        EXPECT_NEAR(got[y * nx + x], std::sqrt(squares / count), 1e-4) << "k " << k << " at " << x << "," << y;
      }
  }
  // A NaN spoils only the windows that hold it.
  in[3 * nx + 4] = NAN;
  DeviceBuffer<float> spoiled = device_copy_of(in);
  hcuda_2d_std_by_box(spoiled.get(), out.get(), nx, ny, 2, 2);
  const std::vector<float> got = host_copy_of(out);
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nx; ++x)
      EXPECT_EQ(std::isnan(got[y * nx + x]), (x == 4 || x == 5) && (y == 3 || y == 4)) << x << "," << y;
  EXPECT_NE(box_window_problem(nx, ny, 0, 0), nullptr);
  EXPECT_NE(box_window_problem(nx, ny, 8, 8), nullptr);
  EXPECT_EQ(box_window_problem(nx, ny, 7, 7), nullptr);
}

TEST(ImageFilters, BinningGivesBlockMeansAndDropsLeftoverEdges) {
  const int nx = 7, ny = 8, nz = 3;
  const std::vector<float> in = test_image(nx, ny, nz);
  DeviceBuffer<float> image = device_copy_of(in);
  for (int k : {1, 2, 3}) {
    const int bx = nx / k, by = ny / k;
    DeviceBuffer<float> out(bx * by * nz);
    hcuda_2ds_meanshrink(image.get(), out.get(), nx, ny, nz, k);
    const std::vector<float> got = host_copy_of(out);
    for (int z = 0; z < nz; ++z)
      for (int y = 0; y < by; ++y)
        for (int x = 0; x < bx; ++x) {
          double sum = 0;
          for (int j = 0; j < k; ++j)
            for (int i = 0; i < k; ++i) sum += in[(z * ny + y * k + j) * nx + x * k + i];
          EXPECT_NEAR(got[(z * by + y) * bx + x], sum / (k * k), 1e-5) << "k " << k;
        }
  }
}

TEST(ImageFilters, UnusableSettingsAreNamedBeforeAnyArithmetic) {
  EXPECT_NE(binning_problem(8, 8, 0), nullptr);
  EXPECT_NE(binning_problem(8, 4, 5), nullptr);
  EXPECT_EQ(binning_problem(5, 5, 5), nullptr);
  EXPECT_NE(band_pass_problem(band_between(0.0, 10.0, BandEdge::kSharp, 0), 64, 1.0f), nullptr);
  EXPECT_NE(band_pass_problem(band_between(-3.0, 10.0, BandEdge::kSharp, 0), 64, 1.0f), nullptr);
  EXPECT_NE(band_pass_problem(band_between(4.0, 10.0, BandEdge::kSharp, 0), 64, 0.0f), nullptr);
  EXPECT_NE(band_pass_problem(BandPass{INFINITY, 8.0, BandEdge::kGaussian, 0}, 64, 1.0f), nullptr);
  EXPECT_NE(band_pass_problem(band_between(1.0, 0.5, BandEdge::kGaussian, 0), 64, 1.0f), nullptr);
  EXPECT_EQ(band_pass_problem(band_between(4.0, 20.0, BandEdge::kGaussian, 0), 64, 1.0f), nullptr);
  EXPECT_NE(circular_mask_problem(-1.0f, 0.0f), nullptr);
  EXPECT_NE(circular_mask_problem(2.0f, NAN), nullptr);
  EXPECT_EQ(circular_mask_problem(0.0f, 0.0f), nullptr);
}
