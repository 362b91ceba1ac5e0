// Host statistics: precision of the sums, tie rules of the searches, peaks, normalisation and
// line fits.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "stats/host_stats.h"

namespace {

TEST(HostExtremes, FirstOfEqualValuesWinsAndOutputsKeepTheirOrder) {
  struct Case {
    std::vector<float> data;
    float max, min;
    size_t imax, imin;
  };
  const Case cases[] = {
      {{1, 3, 3, 2}, 3, 1, 1, 0}, {{2, 1, 1}, 2, 1, 0, 1}, {{2, -1, 7, -1, 7}, 7, -1, 2, 1},
      {{4, 4, 4}, 4, 4, 0, 0},    {{-5}, -5, -5, 0, 0},
  };
  for (const Case& c : cases) {
    const float* d = c.data.data();
    const size_t n = c.data.size();
    SCOPED_TRACE(testing::Message() << "first value " << d[0] << ", n " << n);
    EXPECT_EQ(max_value(d, n), c.max);
    EXPECT_EQ(min_value(d, n), c.min);
    EXPECT_EQ(max_index(d, n), c.imax);
    EXPECT_EQ(min_index(d, n), c.imin);
    float v;
    size_t i;
    max_value_and_index(d, n, v, i);
    EXPECT_EQ(v, c.max);
    EXPECT_EQ(i, c.imax);
    min_value_and_index(d, n, v, i);
    EXPECT_EQ(v, c.min);
    EXPECT_EQ(i, c.imin);
    float mx, mn;
    size_t imx, imn;
    max_min_value_and_index(d, n, mx, mn, imx, imn);
    EXPECT_EQ(mx, c.max);
    EXPECT_EQ(mn, c.min);
    EXPECT_EQ(imx, c.imax);
    EXPECT_EQ(imn, c.imin);
    min_max_value_and_index(d, n, mn, mx, imn, imx);
    EXPECT_EQ(mx, c.max);
    EXPECT_EQ(mn, c.min);
    EXPECT_EQ(imx, c.imax);
    EXPECT_EQ(imn, c.imin);
  }
}

TEST(HostExtremes, MeanOfExtremeSearchIsSummedInDouble) {
  // In float, 1e8 + 1 + 1 - 1e8 would be 0; in double it is 2.
  const float data[] = {1e8f, 1.0f, 1.0f, -1e8f};
  float max = 0, min = 0, mean = 0;
  EXPECT_EQ(max_min_mean_value(data, 4, max, min, mean), 0);
  EXPECT_EQ(max, 1e8f);
  EXPECT_EQ(min, -1e8f);
  EXPECT_EQ(mean, 0.5f);
  EXPECT_EQ(min_max_mean_value(data, 4, min, max, mean), 0);
  EXPECT_EQ(max, 1e8f);
  EXPECT_EQ(min, -1e8f);
  EXPECT_EQ(mean, 0.5f);
}

TEST(HostExtremes, EmptyArrayIsNotRead) {
  float value = 0;
  size_t index = 7;
  max_value_and_index(nullptr, 0, value, index);
  EXPECT_TRUE(std::isnan(value));
  EXPECT_EQ(index, 0u);
  float max = 0, min = 0, mean = 0;
  max_min_mean_value(nullptr, 0, max, min, mean);
  EXPECT_TRUE(std::isnan(max) && std::isnan(min) && std::isnan(mean));
}

TEST(HostMoments, SumsAreInDoubleAndSquaresInFloat) {
  const float cancelling[] = {1e8f, 1.0f, 1.0f, -1e8f};
  EXPECT_EQ(hm_sum(cancelling, 4), 2.0);
  EXPECT_EQ(hm_mean(cancelling, 4), 0.5);
  EXPECT_EQ(hm_meanf(cancelling, 4), 0.5f);
  // 4097^2 = 16785409 needs 25 bits; formed in float it rounds to 16785408.
  const float big[] = {4097.0f};
  EXPECT_EQ(hm_sum_sqr(big, 1), 16785408.0);
  EXPECT_EQ(hm_dot_product(big, big, 1), 16785408.0);
  const float pair[] = {3.0f, -4.0f};
  EXPECT_EQ(hm_mod(pair, 2), 5.0);
  EXPECT_EQ(hm_L2_norm(pair, 2), 5.0);
  EXPECT_EQ(hm_L1_norm(pair, 2), 7.0);
  EXPECT_NEAR(hm_Lp_norm(pair, 2, 2.0f), 5.0, 1e-12);
  EXPECT_NEAR(hm_Lp_norm(pair, 2, 3.0f), std::cbrt(91.0), 1e-12);
  EXPECT_EQ(hm_sum(nullptr, 0), 0.0);
  EXPECT_TRUE(std::isnan(hm_mean(nullptr, 0)));
}

TEST(HostMoments, PopulationVarianceAndCovariance) {
  const float data[] = {1, 2, 3, 4};
  EXPECT_DOUBLE_EQ(hm_variance(data, 4), 1.25);
  EXPECT_DOUBLE_EQ(hm_stdv(data, 4), std::sqrt(1.25));
  float mean = 0, stdv = 0;
  hm_mean_stdv(data, 4, mean, stdv);
  EXPECT_EQ(mean, 2.5f);
  EXPECT_EQ(stdv, static_cast<float>(std::sqrt(1.25)));
  const float p[] = {1, 2, 3}, q[] = {2, 4, 6};
  EXPECT_DOUBLE_EQ(hm_covariance(p, q, 3), 4.0);
}

TEST(HostMoments, RunningMeanAndSpreadFollowDirectComputation) {
  const std::vector<float> values = {3.5f, -1.25f, 8.0f, 2.0f, 2.0f, 0.125f, 5.5f, -4.0f};
  float mean = values[0], stdv = 0.0f;
  for (size_t n = 1; n < values.size(); ++n) {
    const float returned = hm_update_mean_stdv_by_one_more(mean, stdv, n, values[n]);
    float direct_mean, direct_stdv;
    hm_mean_stdv(values.data(), n + 1, direct_mean, direct_stdv);
    EXPECT_EQ(returned, mean);
    EXPECT_NEAR(mean, direct_mean, 1e-5f) << "after " << n + 1 << " values";
    EXPECT_NEAR(stdv, direct_stdv, 1e-5f) << "after " << n + 1 << " values";
  }
}

TEST(HostMoments, RunningSpreadOfEqualValuesIsZeroNotNan) {
  // For these values the rounded sum of squares falls just below (n + 1) mean^2.
  float mean = 0.013f, stdv = 0.0f;
  hm_update_mean_stdv_by_one_more(mean, stdv, 6, 0.013f);
  EXPECT_FLOAT_EQ(mean, 0.013f);
  EXPECT_EQ(stdv, 0.0f);
}

TEST(HostMoments, CorrelationCoefficients) {
  const std::vector<float> p = {1.0f, 4.0f, -2.0f, 0.5f, 3.0f};
  std::vector<float> scaled, flipped;
  for (float v : p) {
    scaled.push_back(3.0f * v + 5.0f);
    flipped.push_back(-2.0f * v + 1.0f);
  }
  const std::vector<float> scaled_before = scaled;
  EXPECT_NEAR(hm_ccc_norm(p.data(), scaled.data(), p.size()), 1.0f, 1e-6f);
  EXPECT_NEAR(hm_ccc_norm(p.data(), flipped.data(), p.size()), -1.0f, 1e-6f);
  EXPECT_EQ(scaled, scaled_before) << "the copying version must leave its inputs alone";

  const float a[] = {1.0f, 0.0f}, b[] = {1.0f, 1.0f};
  EXPECT_NEAR(hm_ccc_unnorm(a, b, 2), 1.0 / std::sqrt(2.0), 1e-7);

  std::vector<float> x = {1, 2, 3, 4}, y = {2, 1, 4, 3};
  // Pearson correlation of these two: covariance 3 (of 5 squared deviations each).
  EXPECT_NEAR(hm_ccc_norm_inplace(x.data(), y.data(), 4), 0.6f, 1e-6f);
  EXPECT_NEAR(hm_mean(x.data(), 4), 0.0, 1e-7);
  EXPECT_NEAR(hm_stdv(x.data(), 4), 1.0, 1e-6);
}

TEST(HostNormalise, ShiftsAndScalesToTheGivenMeanAndSpread) {
  const float in[] = {1, 2, 3, 4};
  float out[4];
  hm_normz(out, in, 4, 2.0f, 10.0f);
  const double factor = 2.0 / std::sqrt(1.25);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(out[i], 10.0 + (in[i] - 2.5) * factor, 1e-5) << i;
  float data[] = {1, 2, 3, 4};
  hm_normz_inplace(data, 4, 2.0f, 10.0f);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(data[i], out[i]);
}

TEST(HostNormalise, MaskedNormalisationUsesOnlyMaskedStatistics) {
  float data[] = {1, 2, 100, 3};
  const float mask[] = {1, 1, 0, 1};
  EXPECT_EQ(hm_normz_withmask_inplace(data, mask, 4), 0);
  const double s = std::sqrt(2.0 / 3.0);
  const double expected[] = {-1 / s, 0, 98 / s, 1 / s};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(data[i], expected[i], 1e-5) << i;
}

TEST(HostNormalise, ElementwiseScalarOperations) {
  const float in[] = {1.0f, -4.0f, 0.5f};
  struct Case {
    const char* name;
    void (*apply)(float*, const float*, size_t, float);
    void (*apply_inplace)(float*, size_t, float);
    float expected[3];
  };
  const Case cases[] = {
      {"add", hm_add, hm_add_inplace, {3.0f, -2.0f, 2.5f}},
      {"sub", hm_sub, hm_sub_inplace, {-1.0f, -6.0f, -1.5f}},
      {"multi", hm_multi, hm_multi_inplace, {2.0f, -8.0f, 1.0f}},
      {"divide", hm_divide, hm_divide_inplace, {0.5f, -2.0f, 0.25f}},
  };
  for (const Case& c : cases) {
    float out[3], data[3] = {in[0], in[1], in[2]};
    c.apply(out, in, 3, 2.0f);
    c.apply_inplace(data, 3, 2.0f);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(out[i], c.expected[i]) << c.name << " " << i;
      EXPECT_EQ(data[i], c.expected[i]) << c.name << " in place " << i;
    }
  }
  float out[3], data[3] = {1.0f, -4.0f, 0.5f};
  hm_invert(out, in, 3);
  hm_invert_inplace(data, 3);
  hm_linear_norm_kb_inplace(data, 3, 3.0f, -1.0f);
  EXPECT_EQ(out[1], 4.0f);
  const float expected_kb[] = {-4.0f, 11.0f, -2.5f};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(data[i], expected_kb[i]) << i;
}

TEST(HostPeaks, SeparatePeaksHighestFirst) {
  struct Case {
    std::vector<float> data;
    size_t count;
    std::vector<size_t> expected;
  };
  const Case cases[] = {
      // The hill of 3 covers indices 2..5; then 1 is the best candidate left.
      {{0, 2, 1, 3, 1, 0}, 2, {3, 1}},
      // More peaks asked than there are hills, and more than there are elements.
      {{0, 2, 1, 3, 1, 0}, 8, {3, 1, 6, 6, 6, 6, 6, 6}},
      // A peak at index 0 removes nothing to its left; the rise from 3 to 4 stops its right walk.
      {{5, 3, 4, 1}, 3, {0, 2, 4}},
      // A plateau stops the walk on either side, so equal neighbours can both be returned.
      {{1, 3, 3, 1}, 2, {1, 2}},
      {{3, 3, 5, 0}, 2, {2, 0}},
      {{}, 2, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "n " << c.data.size() << ", count " << c.count);
    std::vector<size_t> indices(c.count, 99);
    peak_indices(c.data.data(), c.data.size(), indices.data(), c.count);
    EXPECT_EQ(indices, c.expected);
  }
}

TEST(HostPeaks, MaskedSearchAndMaskEdges) {
  const float data[] = {1, 5, 2, 5};
  int mask[] = {0, 0, 1, 1};
  EXPECT_EQ(peak_index_masked(data, mask, 4), 3u);
  const int none[] = {0, 0, 0, 0};
  EXPECT_EQ(peak_index_masked(data, none, 4), 4u);
  int all[] = {1, 1, 1, 1};
  EXPECT_EQ(peak_index_masked(data, all, 4), 1u) << "first of equal maxima";
  peak_make_mask(data, all, 4, 4);
  EXPECT_EQ(std::vector<int>(all, all + 4), (std::vector<int>{1, 1, 1, 1}));
  peak_make_mask(data, all, 4, 3);
  EXPECT_EQ(std::vector<int>(all, all + 4), (std::vector<int>{1, 1, 0, 0}));
}

TEST(HostLineFit, FitsLineAndSumsInFloat) {
  const float x[] = {0, 1, 2}, y[] = {1, 3, 5};
  float k = 0, b = 0;
  line_fit(x, y, 3, k, b);
  EXPECT_FLOAT_EQ(k, 2.0f);
  EXPECT_FLOAT_EQ(b, 1.0f);

  // Accumulated in float, 2^24 + 1 rounds back to 2^24 at each step.
  const float big[] = {16777216.0f, 1.0f, 1.0f, 2.0f};
  const float ones[] = {1.0f, 1.0f, 1.0f, 1.0f};
  EXPECT_EQ(X_Y_By(big, ones, 3), 16777216.0f);
  const float root[] = {4096.0f, 1.0f};
  EXPECT_EQ(Squre_sum(root, 2), 16777216.0f);
  EXPECT_EQ(Sum_Average(big, 4), 4194304.5f);

  const float same_x[] = {1, 1}, two_y[] = {1, 2};
  line_fit(same_x, two_y, 2, k, b);
  EXPECT_FALSE(std::isfinite(k)) << "all x equal leaves the slope undefined";
}

}  // namespace
