// FFT wrappers (unnormalised on the device, normalised by sqrt(nx ny) on the host), the linear
// phase shift and the Fourier translation of images.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "arrays/fft_wrappers.h"
#include "arrays/image_shift.h"
#include "backend/device_failure.h"
#include "backend/memory.h"
#include "spectrum_reference.h"
#include "test_util.h"

namespace {

using spectrum_reference::random_values;

TEST(FftWrappers, DeviceFormsAreUnnormalisedHostFormsDivideBySqrtN) {
  const int nx = 12, ny = 9, nh = nx / 2 + 1, n = nx * ny;
  const std::vector<float> image = random_values(n, 21);
  const double sum = std::accumulate(image.begin(), image.end(), 0.0);
  DeviceBuffer<float> d_image = device_copy_of(image), back(n);
  DeviceBuffer<float2> transform(static_cast<size_t>(nh) * ny);
  hcuda_2d_fft_r2c(d_image.get(), transform.get(), nx, ny);
  EXPECT_NEAR(host_copy_of(transform)[0].x, sum, 1e-4);
  hcuda_2d_fft_c2r(transform.get(), back.get(), nx, ny);
  const std::vector<float> scaled = host_copy_of(back);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(scaled[i], image[i] * n, 1e-3);

  std::vector<float2> normalised(static_cast<size_t>(nh) * ny);
  gpu_2d_fft_r2c(image.data(), normalised.data(), nx, ny);
  EXPECT_NEAR(normalised[0].x, sum / std::sqrt(double(n)), 1e-5);
  std::vector<float> restored(n);
  gpu_2d_fft_c2r(normalised.data(), restored.data(), nx, ny);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(restored[i], image[i], 1e-5);
}

TEST(FftWrappers, StackFormsTransformEachImage) {
  const int nx = 8, ny = 6, nz = 3, nh = nx / 2 + 1;
  const size_t real = size_t(nx) * ny, half = size_t(nh) * ny;
  const std::vector<float> stack = random_values(real * nz, 4);
  std::vector<float2> all(half * nz), one(half);
  gpu_2ds_fft_r2c(stack.data(), all.data(), nx, ny, nz);
  DeviceBuffer<float> d_stack = device_copy_of(stack);
  DeviceBuffer<float2> d_all(half * nz);
  hcuda_2ds_fft_r2c(d_stack.get(), d_all.get(), nx, ny, nz);
  const std::vector<float2> unnormalised = host_copy_of(d_all);
  const float norm = std::sqrt(float(nx * ny));
  for (int z = 0; z < nz; ++z) {
    gpu_2d_fft_r2c(stack.data() + z * real, one.data(), nx, ny);
    for (size_t i = 0; i < half; ++i) {
      EXPECT_NEAR(all[z * half + i].x, one[i].x, 1e-5);
      EXPECT_NEAR(all[z * half + i].y, one[i].y, 1e-5);
      EXPECT_NEAR(unnormalised[z * half + i].x, one[i].x * norm, 1e-4);
    }
  }
}

// A transform that fails hands -1 back through every form, and the host forms write no output.
TEST(FftWrappers, AFailedTransformReturnsItsStatusToTheCaller) {
  const std::vector<float> image(12, 1.0f);
  std::vector<float2> spectrum(12, float2{7.0f, 7.0f});
  std::vector<float> restored(12, 7.0f);
  DeviceBuffer<float> d_image = device_copy_of(image);
  DeviceBuffer<float2> d_spectrum(12);
  int statuses[5];
  captured_stdout([&] {
    statuses[0] = hcuda_2d_fft_r2c(d_image.get(), d_spectrum.get(), 4, 0);
    statuses[1] = hcuda_2d_fft_c2r(d_spectrum.get(), d_image.get(), 0, 3);
    statuses[2] = hcuda_2ds_fft_r2c(d_image.get(), d_spectrum.get(), -4, 3, 1);
    statuses[3] = gpu_2d_fft_r2c(image.data(), spectrum.data(), 0, 3);
    statuses[4] = gpu_2d_fft_c2r(spectrum.data(), restored.data(), 4, 0);
  });
  EXPECT_TRUE(device_failed());
  clear_device_failure();
  for (int status : statuses) EXPECT_EQ(status, -1);
  for (const float2& v : spectrum) EXPECT_EQ(v.x, 7.0f);
  for (float v : restored) EXPECT_EQ(v, 7.0f);
  EXPECT_EQ(hcuda_2ds_fft_r2c(d_image.get(), d_spectrum.get(), 4, 3, 0), 0) << "an empty stack is no failure";
}

TEST(PhaseShift, MultipliesByTheUnitFactorOfTheShift) {
  // w = 3 (nx = 4), h = 2: phase = 2 pi sx x / 4 + 2 pi sy ky / 2.
  const std::vector<float2> ones(6, float2{1, 0});
  DeviceBuffer<float2> in = device_copy_of(ones), out(6);
  hcuda_c2d_linear_Pshift(in.get(), out.get(), 3, 2, 1.0f, 0.5f);
  const std::vector<float2> got = host_copy_of(out);
  const float expected_phase[] = {0, M_PI / 2, M_PI, -M_PI / 2, 0, M_PI / 2};  // row 1 has ky = -1
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(got[i].x, std::cos(expected_phase[i]), 1e-6) << i;
    EXPECT_NEAR(got[i].y, -std::sin(expected_phase[i]), 1e-6) << i;
  }
  hcuda_c2d_linear_Pshift_inplace(in.get(), 3, 2, 1.0f, 0.5f);
  const std::vector<float2> inplace = host_copy_of(in);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(inplace[i].x, got[i].x);
}

// Whole-pixel shifts move the image circularly by (+sx, +sy).
TEST(ImageShift, MovesTheImageByWholePixels) {
  const int nx = 8, ny = 6;
  const std::vector<float> image = random_values(nx * ny, 12);
  const int shifts[][2] = {{2, 1}, {-3, 0}, {0, 5}};
  for (const auto& s : shifts) {
    std::vector<float> expected(image.size());
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) expected[((y + s[1] + ny) % ny) * nx + (x + s[0] + nx) % nx] = image[y * nx + x];
    std::vector<float> got(image.size()), second(image.size()), inplace = image;
    gpu_2d_shift(image.data(), got.data(), nx, ny, s[0], s[1]);
    gpu_2d_shift2(image.data(), second.data(), nx, ny, s[0], s[1]);
    gpu_2d_shift_inplace(inplace.data(), nx, ny, s[0], s[1]);
    DeviceBuffer<float> d_image = device_copy_of(image), d_out(image.size());
    hcuda_2d_shift(d_image.get(), d_out.get(), nx, ny, s[0], s[1]);
    hcuda_2d_shift_inplace(d_image.get(), nx, ny, s[0], s[1]);
    const std::vector<float> device_out = host_copy_of(d_out), device_inplace = host_copy_of(d_image);
    for (size_t i = 0; i < image.size(); ++i) {
      EXPECT_NEAR(got[i], expected[i], 1e-5) << s[0] << ", " << s[1] << " pixel " << i;
      EXPECT_EQ(second[i], got[i]);
      EXPECT_NEAR(inplace[i], expected[i], 1e-5);
      EXPECT_NEAR(device_out[i], expected[i], 1e-5);
      EXPECT_NEAR(device_inplace[i], expected[i], 1e-5);
    }
  }
}

}  // namespace
