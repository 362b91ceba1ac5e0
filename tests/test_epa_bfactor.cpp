// The B-factor fitted to an EPA of the log amplitude.
#include <gtest/gtest.h>

#include <vector>

#include "ctf/bfactor.h"
#include "test_util.h"

namespace {

// An EPA of a + b s^2 inside the band and a wild value outside it: the fit gives -4 b only when it
// uses exactly the samples trunc(2 (n - 1) apix / 15) <= i < trunc(2 (n - 1) apix / 6).
TEST(EpaBfactor, LineInSquaredFrequencyGivesMinusFourTimesItsSlope) {
  const int n = 1025;
  const float apix = 1.2f;
  const int i1 = 163, i2 = 409;  // 2457.6 / 15 and 2457.6 / 6
  for (float b : {-37.5f, 10.0f, 0.0f, -250.0f}) {
    std::vector<float> profile(n, 1e6f);
    for (int i = i1; i < i2; ++i) {
      const double s = i / (2.0 * (n - 1) * apix);
      profile[i] = static_cast<float>(3.0 + b * s * s);
    }
    const float forward = bfac_estimation_from_epa_1d2(profile.data(), apix, n, 15.0f, 6.0f);
    const float backward = bfac_estimation_from_epa_1d2(profile.data(), apix, n, 6.0f, 15.0f);
    EXPECT_NEAR(forward, -4.0f * b, 0.05f) << "b " << b;
    EXPECT_EQ(forward, backward) << "b " << b;
  }
}

// Fewer than two samples in the band cannot be fitted: a warning and 0, never NaN.
TEST(EpaBfactor, TooFewSamplesGiveZeroWithAWarning) {
  const std::vector<float> profile(65, 1.0f);
  float B = -1.0f;
  const std::string out =
      captured_stdout([&] { B = bfac_estimation_from_epa_1d2(profile.data(), 1.0f, 65, 6.0f, 5.9f); });
  EXPECT_EQ(B, 0.0f);
  EXPECT_NE(out.find("Warning in function bfac_estimation_from_epa_1d2(), file ctf_epa on line "), std::string::npos);
  EXPECT_NE(out.find("B-factor set to 0!\n"), std::string::npos);
}

}  // namespace
