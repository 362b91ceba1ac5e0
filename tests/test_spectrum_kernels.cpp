// Kernels over complex values: amplitudes, centring, accumulation in batches, normalisation,
// cross-power and stack means, on small worked examples.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "arrays/complex2d_kernels.h"
#include "backend/memory.h"
#include "spectrum/spectrum_amplitude_sum.h"
#include "spectrum/spectrum_kernels.h"
#include "spectrum_reference.h"

namespace {

const std::vector<float2> kValues = {{3, 4}, {0, 0}, {-1, 0}, {0, -2}, {1, 1}};

template <class Kernel>
std::vector<float> run_real_kernel(Kernel kernel, const std::vector<float2>& values) {
  DeviceBuffer<float2> in = device_copy_of(values);
  DeviceBuffer<float> out(values.size());
  kernel(in.get(), out.get(), values.size());
  return host_copy_of(out);
}

TEST(ComplexKernels, AmplitudesOfWorkedValues) {
  const float r2 = std::sqrt(2.0f);
  EXPECT_EQ(run_real_kernel(hcuda_complex_mod, kValues), (std::vector<float>{5, 0, 1, 2, r2}));
  EXPECT_EQ(run_real_kernel(hcuda_complex_mod_square, kValues), (std::vector<float>{25, 0, 1, 4, 2}));
  const std::vector<float> logs = run_real_kernel(hcuda_complex_logmod, kValues);
  EXPECT_FLOAT_EQ(logs[0], std::log(5.0f));
  EXPECT_EQ(logs[1], -INFINITY);
  EXPECT_EQ(logs[2], 0.0f);
  const std::vector<float> positive = run_real_kernel(hcuda_complex_logmod_forced_positive, kValues);
  EXPECT_FLOAT_EQ(positive[0], std::log(6.0f));
  EXPECT_EQ(positive[1], 0.0f);
  EXPECT_FLOAT_EQ(positive[4], std::log(1 + r2));
  // n = 5: i goes to (i + 2) mod 5.
  const auto centred = [](const float2* in, float* out, size_t n) { hcuda_complex_mod_center_swap(out, in, n); };
  EXPECT_EQ(run_real_kernel(centred, kValues), (std::vector<float>{2, r2, 5, 0, 1}));
  const auto log_centred = [](const float2* in, float* out, size_t n) { hcuda_complex_logmod_center_swap(out, in, n); };
  EXPECT_FLOAT_EQ(run_real_kernel(log_centred, kValues)[2], std::log(5.0f));
}

// A batch of transforms added in one pass gives, bit for bit, what adding them one at a time does.
TEST(ComplexKernels, BatchAccumulationEqualsOneImageAtATime) {
  const size_t n = 35;
  const int count = 4, first = 2;
  const std::vector<float> parts = spectrum_reference::random_values(2 * n * count, 8);
  std::vector<float2> transforms(n * count);
  for (size_t i = 0; i < transforms.size(); ++i) transforms[i] = float2{parts[2 * i], parts[2 * i + 1]};
  const std::vector<float> start = spectrum_reference::random_values(n, 9);
  const std::vector<float> per_box = {9.0f, 9.0f, 0.5f, 1.5f, -2.0f, 3.25f};
  const std::vector<float> maps = spectrum_reference::random_values(n * (first + count), 10);
  DeviceBuffer<float2> d_transforms = device_copy_of(transforms);
  DeviceBuffer<float> d_per_box = device_copy_of(per_box), d_maps = device_copy_of(maps);
  AmplitudeWeights by_value, by_map;
  by_value.per_box = d_per_box.get();
  by_map.per_box_maps = d_maps.get();
  for (const AmplitudeWeights& weights : {AmplitudeWeights(), by_value, by_map}) {
    DeviceBuffer<float> batch = device_copy_of(start), single = device_copy_of(start);
    add_centred_amplitudes(batch.get(), d_transforms.get(), count, n, first, weights);
    for (int k = 0; k < count; ++k) {
      const float2* one = d_transforms.get() + k * n;
      if (weights.per_box) hcuda_complex_mod_weighted_addto_center_swap(single.get(), one, n, per_box[first + k]);
      else if (weights.per_box_maps) hcuda_complex_mod_Ws_addto_center_swap(single.get(), one, n, d_maps.get() + (first + k) * n);
      else hcuda_complex_mod_addto_center_swap(single.get(), one, n);
    }
    EXPECT_EQ(host_copy_of(batch), host_copy_of(single));
  }
}

std::vector<float2> complex_result(void (*kernel)(float2*, const float2*, int, int, float), const std::vector<float2>& in,
                                   int w, int h, float k) {
  DeviceBuffer<float2> d_in = device_copy_of(in), out(in.size());
  kernel(out.get(), d_in.get(), w, h, k);
  return host_copy_of(out);
}

void expect_complex_eq(const std::vector<float2>& got, const std::vector<float2>& expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].x, expected[i].x) << i;
    EXPECT_EQ(got[i].y, expected[i].y) << i;
  }
}

TEST(Complex2dKernels, CentringNormalisationAndCrossPower) {
  // w = 3, h = 2: six values, i goes to (i + 3) mod 6.
  const std::vector<float2> in = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {8, 9}, {10, 11}};
  DeviceBuffer<float2> d_in = device_copy_of(in), out(in.size());
  hcuda_complex2d_center_swap(out.get(), d_in.get(), 3, 2);
  expect_complex_eq(host_copy_of(out), {{6, 7}, {8, 9}, {10, 11}, {0, 1}, {2, 3}, {4, 5}});
  expect_complex_eq(complex_result(hcuda_complex2d_center_swap_norm, in, 3, 2, 2),
                    {{3, 3.5f}, {4, 4.5f}, {5, 5.5f}, {0, 0.5f}, {1, 1.5f}, {2, 2.5f}});
  expect_complex_eq(complex_result(hcuda_complex2d_norm, in, 3, 2, 4),
                    {{0, 0.25f}, {0.5f, 0.75f}, {1, 1.25f}, {1.5f, 1.75f}, {2, 2.25f}, {2.5f, 2.75f}});
  hcuda_complex2d_norm_inplace(d_in.get(), 3, 2, 4);
  expect_complex_eq(host_copy_of(d_in), complex_result(hcuda_complex2d_norm, in, 3, 2, 4));

  // (1 + 2i)(3 - 4i) = 11 + 2i, over 2.
  DeviceBuffer<float2> p = device_copy_of(std::vector<float2>{{1, 2}, {0, 1}});
  DeviceBuffer<float2> q = device_copy_of(std::vector<float2>{{3, 4}, {0, 1}});
  hcuda_cx2d_multconj_norm(p.get(), q.get(), out.get(), 2, 1, 2);
  expect_complex_eq(host_copy_of(out.get(), 2), {{5.5f, 1}, {0.5f, 0}});
  hcuda_cx2d_multconj_norm_inplace(p.get(), q.get(), 2, 1, 2);
  expect_complex_eq(host_copy_of(p), {{5.5f, 1}, {0.5f, 0}});
}

TEST(Complex2dKernels, StackMeanOnDeviceAndHost) {
  // Three images of 2 x 1 values.
  const std::vector<float2> stack = {{1, 2}, {3, 4}, {5, 6}, {7, 8}, {0, -1}, {2, 3}};
  const std::vector<float2> mean = {{2, 7.0f / 3}, {4, 5}};
  DeviceBuffer<float2> d_stack = device_copy_of(stack), out(2);
  hcuda_c2ds_ave(out.get(), d_stack.get(), 2, 1, 3);
  expect_complex_eq(host_copy_of(out), mean);
  hcuda_c2ds_fftout_r2c_ave(out.get(), d_stack.get(), 1, 2, 3);
  expect_complex_eq(host_copy_of(out), mean);
  std::vector<float2> host_out(2);
  cpu_2ds_fftout_r2c_ave(stack.data(), host_out.data(), 2, 1, 3);
  expect_complex_eq(host_out, mean);
}

}  // namespace
