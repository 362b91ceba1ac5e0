// Amplitude spectra of stacks of images: plain, weighted per image or per image and frequency,
// and their logarithm, square root and background subtraction.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "backend/memory.h"
#include "spectrum/spectrum_stack.h"
#include "spectrum_reference.h"
#include "test_util.h"

namespace {

namespace ref = spectrum_reference;

class StackSpectrum : public testing::Test {
 protected:
  // More images than one batch holds.
  static constexpr int bx = 16, by = 12, nz = 19;
  const size_t image_size = size_t(bx) * by, n = size_t(bx / 2 + 1) * by;
  const std::vector<float> stack = ref::random_values(image_size * nz, 77, 0.0f, 1.0f);
  DeviceBuffer<float> d_stack = device_copy_of(stack);
  DeviceBuffer<float> out = DeviceBuffer<float>(n);

  std::vector<float> amplitudes_of(int z) const {
    const std::vector<float> image(stack.begin() + z * image_size, stack.begin() + (z + 1) * image_size);
    return ref::box_amplitudes(image, bx, by);
  }
  // Sum over the images of |F_z| times weight(z, centred position).
  template <class Weight>
  std::vector<float> weighted_sum(Weight weight) const {
    std::vector<float> acc(n, 0.0f);
    for (int z = 0; z < nz; ++z) {
      const std::vector<float> a = amplitudes_of(z);
      for (size_t i = 0; i < n; ++i) acc[(i + n / 2) % n] += a[i] * weight(z, (i + n / 2) % n);
    }
    return acc;
  }
  void expect_close(const std::vector<float>& expected, float tolerance) const {
    const std::vector<float> got = host_copy_of(out);
    for (size_t i = 0; i < n; ++i) EXPECT_NEAR(got[i], expected[i], tolerance * (1 + std::fabs(expected[i]))) << i;
  }
};

TEST_F(StackSpectrum, SumsTheAmplitudesOfAllImages) {
  const std::vector<float> sum = weighted_sum([](int, size_t) { return 1.0f; });
  hcuda_2ds_fft_r2c_amp_ave(d_stack.get(), out.get(), bx, by, nz);
  expect_close(sum, 1e-5f);
  std::vector<float> logs = sum, roots = sum;
  for (float& v : logs) v = std::log(v);
  for (float& v : roots) v = std::sqrt(v);
  hcuda_2ds_fft_r2c_amp_ave_log(d_stack.get(), out.get(), bx, by, nz);
  expect_close(logs, 1e-5f);
  hcuda_2ds_fft_r2c_amp_ave_sqrt(d_stack.get(), out.get(), bx, by, nz);
  expect_close(roots, 1e-5f);
  hcuda_2ds_fft_r2c_amp_ave_log_subbg(d_stack.get(), out.get(), bx, by, nz, 5);
  expect_close(ref::log_subbg(sum, bx, by, 5), 1e-4f);
}

TEST_F(StackSpectrum, WeightsEachImageByItsValue) {
  std::vector<float> weights(nz);
  for (int z = 0; z < nz; ++z) weights[z] = 0.25f * z;
  const std::vector<float> sum = weighted_sum([&](int z, size_t) { return weights[z]; });
  hcuda_2ds_fft_r2c_amp_weighted_ave(d_stack.get(), out.get(), bx, by, nz, weights.data());
  expect_close(sum, 1e-5f);
  std::vector<float> logs = sum;
  for (float& v : logs) v = std::log(v);
  hcuda_2ds_fft_r2c_amp_weighted_ave_log(d_stack.get(), out.get(), bx, by, nz, weights.data());
  expect_close(logs, 1e-5f);
  DeviceBuffer<float> d_weights = device_copy_of(weights);
  hcuda_2ds_fft_r2c_amp_weighted_ave_log_subbg(d_stack.get(), out.get(), bx, by, nz, 5, d_weights.get(), 1);
  expect_close(ref::log_subbg(sum, bx, by, 5), 1e-4f);
}

TEST_F(StackSpectrum, WeightsEachImageAndFrequencyByItsMap) {
  const std::vector<float> maps = ref::random_values(n * nz, 5, 0.5f, 2.0f);
  const std::vector<float> sum = weighted_sum([&](int z, size_t j) { return maps[z * n + j]; });
  DeviceBuffer<float> d_maps = device_copy_of(maps);
  hcuda_2ds_fft_r2c_amp_weighted_ave_log_subbg(d_stack.get(), out.get(), bx, by, nz, 5, d_maps.get(), 2);
  expect_close(ref::log_subbg(sum, bx, by, 5), 1e-4f);
}

TEST_F(StackSpectrum, RefusesAnUnknownWeightType) {
  for (int type : {0, 3}) {
    EXPECT_EXIT_STDOUT(hcuda_2ds_fft_r2c_amp_weighted_ave_log_subbg(d_stack.get(), out.get(), bx, by, nz, 5, nullptr, type),
                       1,
                       "^Error in function hcuda_2ds_fft_r2c_amp_weighted_ave_log_subbg\\(\\), file cuda_fft on line "
                       "[0-9]+: Unkown FFT amplitude average type! Exit now!\n");
  }
}

TEST_F(StackSpectrum, LogAmplitudesOfEachImageInTransformOrder) {
  DeviceBuffer<float> spectra(n * nz);
  hcuda_2ds_fft_r2c_logmod(d_stack.get(), spectra.get(), bx, by, nz);
  const std::vector<float> got = host_copy_of(spectra);
  for (int z = 0; z < nz; ++z) {
    const std::vector<float> a = amplitudes_of(z);
    for (size_t i = 0; i < n; ++i) EXPECT_NEAR(got[z * n + i], std::log(a[i]), 1e-4) << "image " << z << " value " << i;
  }
}

}  // namespace
