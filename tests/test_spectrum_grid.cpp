// The gridded power spectrum and its background subtraction against slow direct versions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "backend/memory.h"
#include "spectrum/spectrum_background.h"
#include "spectrum/spectrum_grid.h"
#include "spectrum_reference.h"
#include "test_util.h"

namespace {

namespace ref = spectrum_reference;

struct Grid {
  int nx, ny, bx, by, step, convsize;
  size_t spectrum_size() const { return static_cast<size_t>(bx / 2 + 1) * by; }
};

void expect_close(const std::vector<float>& got, const std::vector<float>& expected, float relative, float absolute) {
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i)
    EXPECT_NEAR(got[i], expected[i], absolute + relative * std::fabs(expected[i])) << "element " << i;
}

// More boxes than one batch holds, a strip of columns outside every box, square and oblong boxes.
TEST(GridSpectrum, MatchesTheDirectBoxByBoxComputation) {
  const Grid grids[] = {{100, 80, 32, 32, 16, 9}, {64, 64, 32, 16, 8, 6}, {32, 32, 32, 32, 7, 5}};
  for (const Grid& g : grids) {
    SCOPED_TRACE(testing::Message() << g.nx << " x " << g.ny << " box " << g.bx << " x " << g.by);
    const std::vector<float> image = ref::random_values(static_cast<size_t>(g.nx) * g.ny, g.nx + g.by, 0.0f, 2.0f);
    const std::vector<float> amplitudes = ref::grid_amplitudes(image, g.nx, g.ny, g.bx, g.by, g.step);
    const std::vector<float> expected = ref::log_subbg(amplitudes, g.bx, g.by, g.convsize);
    DeviceBuffer<float> d_image = device_copy_of(image);
    DeviceBuffer<float> out(g.spectrum_size()), out_log(g.spectrum_size());

    hcuda_2d_gridfft_r2c_amp_ave(d_image.get(), out.get(), g.nx, g.ny, g.bx, g.by, g.step, g.convsize);
    expect_close(host_copy_of(out), amplitudes, 1e-5f, 1e-5f);

    hcuda_2d_gridfft_r2c_amp_ave_log_subbg(d_image.get(), out.get(), g.nx, g.ny, g.bx, g.by, g.step, g.convsize);
    expect_close(host_copy_of(out), expected, 0, 1e-4f);

    hcuda_2d_gridfft_r2c_amp_ave_log_subbg2(d_image.get(), out.get(), out_log.get(), g.nx, g.ny, g.bx, g.by, g.step,
                                            g.convsize);
    expect_close(host_copy_of(out), expected, 0, 1e-4f);
    std::vector<float> logs = amplitudes;
    for (float& v : logs) v = std::log(v);
    expect_close(host_copy_of(out_log), logs, 0, 1e-5f);
  }
}

// A cosine of kx cycles across and ky down each box, over weak noise, puts its amplitude at column
// kx, row by/2 + ky of the centred half spectrum.
TEST(GridSpectrum, CosinePatternPeaksAtItsFrequency) {
  const int nx = 128, ny = 112, b = 32, nh = b / 2 + 1;
  const int frequencies[][2] = {{5, 3}, {5, -3}, {1, 7}, {11, 0}};
  for (const auto& f : frequencies) {
    std::vector<float> image = ref::random_values(nx * ny, f[0] + 3 * f[1], -0.1f, 0.1f);
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) image[y * nx + x] += std::cos(2 * M_PI * (f[0] * x + f[1] * y) / b);
    DeviceBuffer<float> d_image = device_copy_of(image), out(static_cast<size_t>(nh) * b);
    for (bool with_background : {false, true}) {
      if (with_background) hcuda_2d_gridfft_r2c_amp_ave_log_subbg(d_image.get(), out.get(), nx, ny, b, b, 16, 7);
      else hcuda_2d_gridfft_r2c_amp_ave(d_image.get(), out.get(), nx, ny, b, b, 16, 7);
      const std::vector<float> spectrum = host_copy_of(out);
      const size_t peak = std::max_element(spectrum.begin(), spectrum.end()) - spectrum.begin();
      EXPECT_EQ(peak % nh, size_t(f[0])) << f[0] << ", " << f[1] << (with_background ? " with background" : "");
      EXPECT_EQ(peak / nh, size_t(b / 2 + f[1])) << f[0] << ", " << f[1];
    }
  }
}

TEST(SpectrumBackground, IgnoresAConstantAddedToTheLogSpectrum) {
  const int bx = 64, by = 48, nh = bx / 2 + 1;
  const std::vector<float> log_spectrum = ref::random_values(static_cast<size_t>(nh) * by, 9, 2.0f, 6.0f);
  std::vector<float> raised = log_spectrum;
  for (float& v : raised) v += 7.5f;
  DeviceBuffer<float> a = device_copy_of(log_spectrum), b = device_copy_of(raised), out(log_spectrum.size());
  hcuda_2d_fft_amp_subbg(out.get(), a.get(), bx, by, 13);
  hcuda_2d_fft_amp_subbg_inplace(b.get(), bx, by, 13);
  const std::vector<float> plain = host_copy_of(out);
  expect_close(host_copy_of(b), plain, 0, 1e-5f);
  expect_close(plain, ref::log_subbg(log_spectrum, bx, by, 13, false), 0, 1e-5f);
  EXPECT_EQ(host_copy_of(a), log_spectrum) << "the input of the out-of-place form stays";
}

TEST(SpectrumBackground, LogarithmThenSubtractionInPlace) {
  const int bx = 32, by = 32, nh = bx / 2 + 1;
  const std::vector<float> amplitudes = ref::random_values(static_cast<size_t>(nh) * by, 4, 1.0f, 50.0f);
  DeviceBuffer<float> spectrum = device_copy_of(amplitudes);
  hcuda_2d_fft_amp_log_subbg_inplace(spectrum.get(), bx, by, 8);
  expect_close(host_copy_of(spectrum), ref::log_subbg(amplitudes, bx, by, 8), 0, 1e-5f);
}

TEST(GridSpectrum, RefusesGridsThatDoNotFit) {
  DeviceBuffer<float> image(64 * 64), out(33 * 64);
  EXPECT_EXIT_STDOUT(hcuda_2d_gridfft_r2c_amp_ave(image.get(), out.get(), 64, 40, 64, 64, 32, 5), 1,
                     "Error in function check_box_grid\\(\\), file cuda_fft on line [0-9]+: The image is smaller than "
                     "one box! Exit now!");
  EXPECT_EXIT_STDOUT(hcuda_2d_gridfft_r2c_amp_ave_log_subbg(image.get(), out.get(), 64, 64, 64, 64, 0, 5), 1,
                     "Box size and grid step must be positive! Exit now!");
}

}  // namespace
