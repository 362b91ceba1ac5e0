// Layouts of spectra: the box grid, the centred half spectrum, the full amplitude layout and the
// quadrant swap of correlation maps.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "arrays/fft_wrappers.h"
#include "backend/memory.h"
#include "spectrum/spectrum_grid.h"
#include "spectrum/spectrum_kernels.h"
#include "spectrum/spectrum_layout.h"
#include "spectrum_reference.h"
#include "test_util.h"

namespace {

using spectrum_reference::random_values;

TEST(BoxGrid, CountsBoxesThatFitWhole) {
  const struct { int size, box, step, count; } cases[] = {
      {4096, 512, 256, 15}, {4096, 1024, 512, 7}, {512, 512, 256, 1}, {1000, 512, 256, 2}, {767, 512, 256, 1}, {768, 512, 256, 2}};
  for (const auto& c : cases) EXPECT_EQ(grid_box_count(c.size, c.box, c.step), c.count) << c.size << " " << c.box;
}

TEST(CentredLayout, MovesEachValueHalfTheArrayOn) {
  // 6 x 6 image: 4 x 6 = 24 values; flat 0 (kx = 0, ky = 0) goes to 12, row 3, column 0.
  for (size_t n : {size_t(24), size_t(15)}) {
    std::vector<float2> in(n);
    for (size_t i = 0; i < n; ++i) in[i] = float2{float(i), 0.0f};
    in[0] = float2{3.0f, 4.0f};
    DeviceBuffer<float2> d_in = device_copy_of(in);
    DeviceBuffer<float> d_out(n);
    hcuda_complex_mod_center_swap(d_out.get(), d_in.get(), n);
    const std::vector<float> out = host_copy_of(d_out);
    EXPECT_EQ(out[n / 2], 5.0f);
    for (size_t i = 1; i < n; ++i) EXPECT_EQ(out[(i + n / 2) % n], float(i)) << "n " << n << " i " << i;
  }
}

TEST(FullLayout, HalfToFullToHalfIsTheIdentity) {
  const int sizes[][2] = {{512, 512}, {8, 6}, {6, 5}, {7, 6}, {9, 3}, {2, 1}};
  for (const auto& s : sizes) {
    const int nx = s[0], ny = s[1], nh = nx / 2 + 1;
    const std::vector<float> half = random_values(static_cast<size_t>(nh) * ny, nx + ny);
    DeviceBuffer<float> d_half = device_copy_of(half);
    DeviceBuffer<float> full(static_cast<size_t>(nx) * ny), back(half.size());
    hcuda_2d_fft_amp_half2full(full.get(), d_half.get(), nx, ny);
    hcuda_2d_fft_amp_full2half(back.get(), full.get(), nx, ny);
    EXPECT_EQ(host_copy_of(back), half) << nx << " x " << ny;
  }
}

TEST(FullLayout, ZeroFrequencyOfA512BoxIsAtColumn255Row256) {
  const int n = 512, nh = n / 2 + 1;
  std::vector<float> half(static_cast<size_t>(nh) * n, 0.0f);
  half[256 * nh + 0] = 1.0f;
  DeviceBuffer<float> d_half = device_copy_of(half);
  DeviceBuffer<float> full(static_cast<size_t>(n) * n);
  hcuda_2d_fft_amp_half2full(full.get(), d_half.get(), n, n);
  const std::vector<float> got = host_copy_of(full);
  std::vector<float> expected(got.size(), 0.0f);
  expected[256 * n + 255] = 1.0f;
  EXPECT_EQ(got, expected);
  EXPECT_EQ(got, spectrum_reference::half_to_full(half, n, n));
}

// Every pixel of the full layout of an image's amplitude spectrum shows |F| at kx = c - (nx/2 - 1),
// ky = y - ny/2: the mirrored half holds the Friedel mates, for odd widths too.
TEST(FullLayout, ShowsTheAmplitudeOfEveryFrequency) {
  const int sizes[][2] = {{8, 6}, {7, 6}, {9, 4}, {5, 2}};
  for (const auto& s : sizes) {
    const int nx = s[0], ny = s[1], nh = nx / 2 + 1;
    SCOPED_TRACE(testing::Message() << nx << " x " << ny);
    const std::vector<float> image = random_values(static_cast<size_t>(nx) * ny, 5 * nx + ny);
    DeviceBuffer<float> d_image = device_copy_of(image);
    DeviceBuffer<float2> transform(static_cast<size_t>(nh) * ny);
    DeviceBuffer<float> half(transform.size()), full(image.size());
    hcuda_2d_fft_r2c(d_image.get(), transform.get(), nx, ny);
    hcuda_complex_mod_center_swap(half.get(), transform.get(), transform.size());
    hcuda_2d_fft_amp_half2full(full.get(), half.get(), nx, ny);
    const std::vector<float> got = host_copy_of(full);
    for (int y = 0; y < ny; ++y)
      for (int c = 0; c < nx; ++c) {
        const int kx = c - (nx / 2 - 1), ky = y - ny / 2;
        std::complex<double> sum = 0;
        for (int v = 0; v < ny; ++v)
          for (int u = 0; u < nx; ++u)
            sum += double(image[v * nx + u]) * std::polar(1.0, -2 * M_PI * (double(kx) * u / nx + double(ky) * v / ny));
        EXPECT_NEAR(got[y * nx + c], std::abs(sum), 1e-4) << "column " << c << " row " << y;
      }
  }
}

TEST(FullLayout, RefusesAWidthBelowTwo) {
  DeviceBuffer<float> a(4), b(4);
  EXPECT_EXIT_STDOUT(hcuda_2d_fft_amp_half2full(a.get(), b.get(), 1, 4), 1,
                     "Error in function check_full_layout_size\\(\\), file cuda_fft on line [0-9]+: A spectrum needs at "
                     "least 2 columns and 1 row! Exit now!");
}

TEST(SwapCcf, MovesQuadrantsAndDividesInPlace) {
  // 4 x 2: (x, y) -> ((x + 2) mod 4, (y + 1) mod 2).
  const std::vector<float> map = {0, 1, 2, 3, 4, 5, 6, 7};
  DeviceBuffer<float> in = device_copy_of(map), out(map.size());
  hcuda_2d_swap_ccf(in.get(), out.get(), 4, 2);
  EXPECT_EQ(host_copy_of(out), (std::vector<float>{6, 7, 4, 5, 2, 3, 0, 1}));
  for (const auto& size : {std::pair<int, int>{6, 4}, {8, 6}, {4, 2}}) {
    const int nx = size.first, ny = size.second;
    const std::vector<float> values = random_values(static_cast<size_t>(nx) * ny, nx * ny);
    DeviceBuffer<float> a = device_copy_of(values), b(values.size()), c = device_copy_of(values);
    hcuda_2d_swap_ccf(a.get(), b.get(), nx, ny);
    hcuda_2d_swap_ccf_inplace(a.get(), nx, ny);
    EXPECT_EQ(host_copy_of(a), host_copy_of(b)) << nx << " x " << ny;
    hcuda_2d_swap_norm_ccf_inplace(c.get(), nx, ny, 4.0f);
    const std::vector<float> swapped = host_copy_of(b), scaled = host_copy_of(c);
    for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(scaled[i], swapped[i] / 4.0f);
  }
}

}  // namespace
