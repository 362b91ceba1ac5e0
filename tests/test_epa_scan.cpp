// The resolution scan on host profiles: index bounds and windows, the local correlation, its
// smoothing, and where the scan stops.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ctf/epa_scan.h"

namespace {

TEST(EpaScan, BoundsAndWindowsOfA512Box) {
  // box 512: nh 257, ov 4, M 1025; apix 1, band 50 .. 4 Angstrom
  const EpaScanRange r = epa_scan_range(1025, 257, 1.0f, 50.0f, 4.0f);
  EXPECT_EQ(r.Wmax, 128);
  EXPECT_EQ(r.Wmin, 32);
  EXPECT_EQ(r.iL, 41);   // trunc(2050 / 50)
  EXPECT_EQ(r.iH, 512);  // trunc(2050 / 4)
  EXPECT_EQ(r.first, 42);
  EXPECT_EQ(r.end, 470);  // 512 - 32 - 10
  EXPECT_FALSE(r.empty());
  EXPECT_FLOAT_EQ(epa_scan_resolution(41, 1025, 1.0f), 50.0f);
  // box 1024 at 1.3 Angstrom per pixel, band 30 .. 2.7
  const EpaScanRange big = epa_scan_range(2049, 513, 1.3f, 30.0f, 2.7f);
  EXPECT_EQ(big.Wmax, 256);
  EXPECT_EQ(big.Wmin, 64);
  EXPECT_EQ(big.iL, 177);   // 5327.4 / 30
  EXPECT_EQ(big.iH, 1973);  // 5327.4 / 2.7
}

// A band finer than the profile reaches (resH below 2 apix) keeps every index inside it.
TEST(EpaScan, IndicesStayInsideTheProfile) {
  const EpaScanRange r = epa_scan_range(1025, 257, 1.0f, 50.0f, 1.0f);
  EXPECT_EQ(r.iH, 1024);
  const EpaScanRange bad = epa_scan_range(1025, 257, 1.0f, 0.0f, -3.0f);
  EXPECT_TRUE(bad.empty());
}

// Tiny boxes or a band narrower than the windows leave nothing to scan.
TEST(EpaScan, EmptyScanOfTinyBoxesAndNarrowBands) {
  EXPECT_TRUE(epa_scan_range(9, 3, 1.0f, 50.0f, 2.1f).empty());        // box 4: 1 .. 8 - 0 - 10
  EXPECT_FALSE(epa_scan_range(33, 9, 1.0f, 50.0f, 2.1f).empty());      // box 16: 2 .. 31 - 1 - 10
  EXPECT_TRUE(epa_scan_range(1025, 257, 1.0f, 10.0f, 9.0f).empty());   // 206 .. 227 - 32 - 10
  EXPECT_FALSE(epa_scan_range(1025, 257, 1.0f, 10.0f, 8.0f).empty());  // 206 .. 256 - 32 - 10
  const std::vector<float> smoothed(9, -1.0f);
  EXPECT_EQ(epa_limit_index(smoothed, epa_scan_range(9, 3, 1.0f, 50.0f, 2.1f), 1.0f, 20.0f), -1);
}

// Windows: below Wmax/2 + iL the correlation is 1; further on it is the correlation of the two
// profiles over the window, so a profile that follows the reference up to a sample and is its
// negative beyond turns negative there; nothing beyond iH - Wmin is computed (0).
TEST(EpaScan, LocalCorrelationFollowsTheProfiles) {
  const EpaScanRange r = epa_scan_range(1025, 257, 1.0f, 50.0f, 4.0f);
  std::vector<float> sim(1025), epa(1025);
  for (int i = 0; i < 1025; ++i) {
    sim[i] = std::fabs(std::sin(0.05f * i * i / 40.0f));
    epa[i] = i < 300 ? 2.0f * sim[i] + 1.0f : -sim[i];
  }
  const std::vector<float> cc = epa_local_correlation(epa.data(), sim.data(), r);
  ASSERT_EQ(cc.size(), 1025u);
  for (int i = 0; i < 105; ++i) EXPECT_EQ(cc[i], 1.0f) << i;  // Wmax/2 + iL = 105
  EXPECT_NEAR(cc[200], 1.0f, 1e-5);
  EXPECT_NEAR(cc[420], -1.0f, 1e-5);
  for (int i = 480; i < 1025; ++i) EXPECT_EQ(cc[i], 0.0f) << i;  // iH - Wmin = 480
}

// The window at sample i has L = trunc((i - iL)(Wmin - Wmax) / (iH - Wmin - iL) + Wmax) samples
// starting at i - L/2: a single spike in the profile enters exactly the windows that contain it.
TEST(EpaScan, WindowLengthShrinksLinearly) {
  const EpaScanRange r = epa_scan_range(1025, 257, 1.0f, 50.0f, 4.0f);
  std::vector<float> sim(1025), epa(1025, 0.0f);
  for (int i = 0; i < 1025; ++i) sim[i] = static_cast<float>(i % 2);
  const int spike = 300;
  epa[spike] = 1.0f;
  const std::vector<float> cc = epa_local_correlation(epa.data(), sim.data(), r);
  for (int i = 105; i < 480; ++i) {
    const int L = static_cast<int>(static_cast<float>(i - 41) * -96.0f / 439.0f + 128.0f);
    const bool inside = spike >= i - L / 2 && spike < i - L / 2 + L;
    // one nonzero value against the alternating reference: clearly nonzero when inside; a window
    // of zeros has no spread, and its undefined correlation is 0
    if (inside)
      EXPECT_GT(std::fabs(cc[i]), 0.05f) << i;
    else
      EXPECT_EQ(cc[i], 0.0f) << i;
  }
}

TEST(EpaScan, SmoothingIsAGaussianOfTwentySamples) {
  const EpaScanRange r = epa_scan_range(1025, 257, 1.0f, 50.0f, 4.0f);
  std::vector<float> cc(1025, 0.0f);
  cc[200] = 1.0f;
  const std::vector<float> sm = epa_smooth_correlation(cc, r);
  double weights = 0;
  for (int k = -10; k < 10; ++k) weights += std::exp(-k * k / 88.888885);
  // sm[i] takes cc[j] for i - 10 <= j < i + 10 with weight exp(-(j - i)^2 / 88.89)
  for (int k = -9; k <= 10; ++k) EXPECT_NEAR(sm[200 + k], std::exp(-k * k / 88.888885) / weights, 1e-6) << k;
  EXPECT_EQ(sm[189], 0.0f);
  EXPECT_EQ(sm[211], 0.0f);
  // smoothing covers iL < i < min(iH - 30, iH - Wmin - 10); other samples are copied
  std::vector<float> steps(1025);
  for (int i = 0; i < 1025; ++i) steps[i] = static_cast<float>(i);
  const std::vector<float> sm2 = epa_smooth_correlation(steps, r);
  EXPECT_EQ(sm2[41], 41.0f);
  EXPECT_LT(sm2[469], 469.0f);
  EXPECT_EQ(sm2[470], 470.0f);
  EXPECT_EQ(sm2[1000], 1000.0f);
  // a box of 128 (Wmin 8): the smoothing stops at iH - 30 = 214, short of the scan's end 226
  const EpaScanRange small = epa_scan_range(257, 65, 1.0f, 50.0f, 2.1f);
  ASSERT_EQ(small.end, 226);
  const std::vector<float> sm3 = epa_smooth_correlation(std::vector<float>(steps.begin(), steps.begin() + 257), small);
  EXPECT_LT(sm3[213], 213.0f);
  EXPECT_EQ(sm3[214], 214.0f);
  // the window j = i - 10 .. i + 9 has one more sample below i than above: its mean leans low
  double lean = 0;
  for (int k = -10; k < 10; ++k) lean += k * std::exp(-k * k / 88.888885);
  EXPECT_NEAR(sm2[300], 300.0 + lean / weights, 1e-3);
  EXPECT_LT(sm2[300], 299.85f);
}

// Near the bottom of the profile the window would reach below sample 0; it keeps to the profile.
TEST(EpaScan, SmoothingNearSampleZeroStaysInsideTheProfile) {
  const EpaScanRange r = epa_scan_range(1025, 257, 1.0f, 5000.0f, 4.0f);  // iL = 0
  ASSERT_EQ(r.iL, 0);
  const std::vector<float> cc(1025, 1.0f);
  const std::vector<float> sm = epa_smooth_correlation(cc, r);
  for (int i = 1; i < 12; ++i) EXPECT_FLOAT_EQ(sm[i], 1.0f) << i;
}

// The scan stops at the first negative smoothed correlation finer than the threshold; a sign
// change at coarser resolution is passed over; without one it ends at the last scanned sample.
TEST(EpaScan, LimitIsTheFirstNegativeFinerThanTheThreshold) {
  const EpaScanRange r = epa_scan_range(1025, 257, 1.0f, 50.0f, 4.0f);  // scans 42 .. 469
  const int at25 = 82;                                                  // 2050 / 82 = 25 Angstrom
  const int at8 = 256;                                                  // 2050 / 256 = 8.0 Angstrom
  struct Case {
    std::vector<int> negative;
    float threshold;
    int expected;
  };
  const Case cases[] = {
      {{at25, at8}, 20.0f, at8},   // 25 Angstrom is coarser than the threshold
      {{at25, at8}, 30.0f, at25},  // with a threshold of 30 it counts
      {{at8, 300}, 20.0f, at8},    // the first one wins
      {{}, 20.0f, 469},            // none: the last scanned sample
      {{470, 600}, 20.0f, 469},    // beyond the scan
      {{41}, 100.0f, 469},         // below the scan
  };
  for (const Case& c : cases) {
    std::vector<float> sm(1025, 0.5f);
    for (int i : c.negative) sm[i] = -0.01f;
    EXPECT_EQ(epa_limit_index(sm, r, 1.0f, c.threshold), c.expected) << "threshold " << c.threshold;
  }
  EXPECT_FLOAT_EQ(epa_scan_resolution(469, 1025, 1.0f), 2050.0f / 469.0f);
}

}  // namespace
