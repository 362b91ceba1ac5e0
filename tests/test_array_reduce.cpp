// Device sums, means, spreads, normalisation and the many-rows dot product.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "arrays/array_dot.h"
#include "arrays/array_moments.h"
#include "arrays/array_reduce.h"
#include "backend/memory.h"

namespace {

// Values spread over ten decades with both signs, so that the order of additions shows in the
// rounded total.
std::vector<float> spread_values(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> mantissa(0.5f, 1.0f), decade(-4.0f, 6.0f);
  std::vector<float> v(n);
  for (float& x : v) x = (rng() % 2 ? -1.0f : 1.0f) * mantissa(rng) * std::pow(10.0f, decade(rng));
  return v;
}

// A block of 1024 summed by the tree: the total of the left half plus the total of the right half.
float pairwise_total(const float* a, size_t len) {
  return len == 1 ? a[0] : pairwise_total(a, len / 2) + pairwise_total(a + len / 2, len / 2);
}

// A block of 2048 folded by halving: a[j] + a[j + len/2], repeated down to one value.
float folded_total(const float* a, size_t len) {
  std::vector<float> b(a, a + len);
  for (size_t half = len / 2; half >= 1; half /= 2)
    for (size_t j = 0; j < half; ++j) b[j] += b[j + half];
  return b[0];
}

// Passes over zero-padded blocks of `width` until one value is left.
float reference_tree(std::vector<float> v, size_t width, const std::function<float(const float*, size_t)>& block) {
  do {
    v.resize((v.size() + width - 1) / width * width, 0.0f);
    std::vector<float> totals;
    for (size_t first = 0; first < v.size(); first += width) totals.push_back(block(&v[first], width));
    v = totals;
  } while (v.size() > 1);
  return v[0];
}

float sequential_sum(const std::vector<float>& v) {
  float s = 0.0f;
  for (float x : v) s += x;
  return s;
}

const size_t kSizes[] = {1, 1024, 1025, 2049, (size_t(1) << 20) + 3};

TEST(TreeSum, EveryEntryPointAddsInTheTreeOrder) {
  for (size_t n : kSizes) {
    SCOPED_TRACE(testing::Message() << "n = " << n);
    const std::vector<float> values = spread_values(n, static_cast<unsigned>(n));
    const float expected = reference_tree(values, 1024, pairwise_total);
    if (n > 1) {
      ASSERT_NE(expected, sequential_sum(values)) << "data must tell the orders apart";
    }
    DeviceBuffer<float> data = device_copy_of(values);
    DeviceBuffer<float> scratch((n + 1023) / 1024);
    EXPECT_EQ(hcuda_fast_sum(data.get(), n), expected);
    EXPECT_EQ(hcuda_fast_sum2(data.get(), scratch.get(), n), expected);
    EXPECT_EQ(hcuda_fast_sum_inplace(data.get(), n), expected);
    EXPECT_EQ(hcuda_fast_sum(data.get(), n), expected) << "the input must still hold the data";
  }
}

TEST(TreeSum, Blocks2048FoldByHalving) {
  for (size_t n : kSizes) {
    SCOPED_TRACE(testing::Message() << "n = " << n);
    const std::vector<float> values = spread_values(n, static_cast<unsigned>(n));
    const float expected = reference_tree(values, 2048, folded_total);
    if (n > 2048) {
      ASSERT_NE(expected, reference_tree(values, 1024, pairwise_total)) << "data must tell the trees apart";
    }
    DeviceBuffer<float> data = device_copy_of(values);
    DeviceBuffer<float> scratch((n + 2047) / 2048);
    EXPECT_EQ(hcuda_fast_sum6(data.get(), scratch.get(), n), expected);
    EXPECT_EQ(hcuda_fast_sum6_inplace(data.get(), n), expected);
  }
}

TEST(TreeSum, SquaresAndMasksEnterBeforeTheTree) {
  const size_t n = 5000;
  const std::vector<float> values = spread_values(n, 11), mask = spread_values(n, 12);
  std::vector<float> squares(n), masked(n), masked_squares(n);
  for (size_t i = 0; i < n; ++i) {
    squares[i] = values[i] * values[i];
    masked[i] = values[i] * mask[i];
    masked_squares[i] = squares[i] * mask[i];
  }
  DeviceBuffer<float> data = device_copy_of(values), weights = device_copy_of(mask);
  EXPECT_EQ(hcuda_fast_sumsqr(data.get(), n), reference_tree(squares, 1024, pairwise_total));
  EXPECT_EQ(hcuda_fast_sum_withmask(data.get(), weights.get(), n), reference_tree(masked, 1024, pairwise_total));
  EXPECT_EQ(hcuda_fast_sumsqr_withmask(data.get(), weights.get(), n),
            reference_tree(masked_squares, 1024, pairwise_total));
  EXPECT_EQ(hcuda_fast_sumsqr_inplace(data.get(), n), reference_tree(squares, 1024, pairwise_total));
  EXPECT_EQ(host_copy_of(data), squares) << "the in-place form leaves the squares";
}

TEST(TreeSum, NoValuesSumToZero) {
  DeviceBuffer<float> data = device_copy_of(std::vector<float>{5.0f});
  EXPECT_EQ(hcuda_fast_sum(data.get(), 0), 0.0f);
  EXPECT_EQ(hcuda_fast_sum6_inplace(data.get(), 0), 0.0f);
}

TEST(Moments, MeansAndPopulationSpreads) {
  DeviceBuffer<float> four = device_copy_of(std::vector<float>{1, 2, 3, 4});
  EXPECT_EQ(hcuda_fast_mean(four.get(), 4), 2.5f);
  EXPECT_EQ(hcuda_fast_submean_sumsqr(four.get(), 4), 5.0f);
  EXPECT_EQ(hcuda_variance(four.get(), 4), 1.25f);
  EXPECT_FLOAT_EQ(hcuda_stdv(four.get(), 4), std::sqrt(1.25f));

  const size_t n = 3000;
  DeviceBuffer<float> constant = device_copy_of(std::vector<float>(n, 2.75f));
  EXPECT_EQ(hcuda_variance(constant.get(), n), 0.0f);
  EXPECT_EQ(hcuda_stdv(constant.get(), n), 0.0f);
}

TEST(Moments, MaskedFormsWeightByTheMask) {
  const std::vector<float> values = {1, 2, 3, 4, 100};
  DeviceBuffer<float> data = device_copy_of(values);
  DeviceBuffer<float> keep_four = device_copy_of(std::vector<float>{1, 1, 1, 1, 0});
  EXPECT_EQ(hcuda_mean_withmask(data.get(), keep_four.get(), 5), 2.5f);
  EXPECT_EQ(hcuda_fast_submean_sumsqr_withmask(data.get(), keep_four.get(), 5), 5.0f);
  EXPECT_EQ(hcuda_variance_withmask(data.get(), keep_four.get(), 5), 1.25f);
  EXPECT_FLOAT_EQ(hcuda_stdv_withmask(data.get(), keep_four.get(), 5), std::sqrt(1.25f));

  // Weights 1, 0, 0, 3, 0: mean (1 + 12) / 4 = 3.25, spread (2.25^2 + 3 * 0.75^2) / 4 = 1.6875.
  DeviceBuffer<float> weights = device_copy_of(std::vector<float>{1, 0, 0, 3, 0});
  EXPECT_EQ(hcuda_mean_withmask(data.get(), weights.get(), 5), 3.25f);
  EXPECT_EQ(hcuda_variance_withmask(data.get(), weights.get(), 5), 1.6875f);

  DeviceBuffer<float> none = device_copy_of(std::vector<float>(5, 0.0f));
  EXPECT_TRUE(std::isnan(hcuda_mean_withmask(data.get(), none.get(), 5)));
  EXPECT_TRUE(std::isnan(hcuda_variance_withmask(data.get(), none.get(), 5)));
}

TEST(Moments, NormalisationToScaleAndOffset) {
  DeviceBuffer<float> data = device_copy_of(std::vector<float>{1, 2, 3, 4});
  hcuda_norm_inplace(data.get(), 4, 2.0f, 10.0f);
  const double k = 2.0 / std::sqrt(1.25);
  const std::vector<float> got = host_copy_of(data);
  const double expected[] = {10 - 1.5 * k, 10 - 0.5 * k, 10 + 0.5 * k, 10 + 1.5 * k};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], expected[i], 1e-5) << i;

  // The element outside the mask is transformed with the masked mean and spread too.
  DeviceBuffer<float> masked = device_copy_of(std::vector<float>{1, 2, 3, 4, 100});
  DeviceBuffer<float> mask = device_copy_of(std::vector<float>{1, 1, 1, 1, 0});
  hcuda_norm_withmask_inplace(masked.get(), mask.get(), 5, 2.0f, 10.0f);
  const std::vector<float> got_masked = host_copy_of(masked);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(got_masked[i], expected[i], 1e-5) << i;
  EXPECT_NEAR(got_masked[4], 10 + 97.5 * k, 1e-4);
}

TEST(ManyRowsDot, EachRowWithTheVector) {
  // Three rows of four.
  const std::vector<float> many = {1, 2, 3, 4, 0, -1, 0, 1, 0.5f, 0.5f, 0.5f, 0.5f};
  const std::vector<float> one = {1, 10, 100, 1000};
  DeviceBuffer<float> d_many = device_copy_of(many), d_one = device_copy_of(one);
  DeviceBuffer<float> out(3);
  hcuda_correlation_manydata_with_data(d_many.get(), d_one.get(), out.get(), 4, 3);
  EXPECT_EQ(host_copy_of(out), (std::vector<float>{4321, 990, 555.5f}));

  // 1 + 2^-12 squared is 1 + 2^-11 + 2^-24; only a fused step keeps the 2^-24 after adding
  // -(1 + 2^-11).
  const float e = std::ldexp(1.0f, -12);
  DeviceBuffer<float> row = device_copy_of(std::vector<float>{-(1 + 2 * e), 1 + e});
  DeviceBuffer<float> vec = device_copy_of(std::vector<float>{1, 1 + e});
  hcuda_correlation_manydata_with_data(row.get(), vec.get(), out.get(), 2, 1);
  EXPECT_EQ(host_copy_of(out.get(), 1)[0], std::ldexp(1.0f, -24));
}

}  // namespace
