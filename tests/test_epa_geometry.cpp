// Sampling helpers of the equiphase and rotational averages, and the vectorisable exp(-t).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "backend/memory.h"
#include "ctf/epa_geometry.h"
#include "ctf/exp_neg.h"

namespace {

// Directions -pi/2 + j step while below pi/2.
TEST(EpaGeometry, RingDirectionCount) {
  const double pi = 3.14159265358979323846;
  EXPECT_EQ(ring_direction_count(pi / 4), 4);  // -90, -45, 0, 45 degrees
  EXPECT_EQ(ring_direction_count(pi / 2), 2);
  EXPECT_EQ(ring_direction_count(0.75), 5);  // the last at -1.5708 + 3.0 = 1.4292
  EXPECT_EQ(ring_direction_count(0.75 / 1000), 4189);
  EXPECT_EQ(ring_direction_count(4.0), 1);
  EXPECT_EQ(ring_direction_count(0.0), 0);
  EXPECT_EQ(ring_direction_count(NAN), 0);
}

// A 3 x 2 spectrum 1 2 3 / 4 5 6: interior, edge and corner points; points off the spectrum are
// extrapolated from the nearest edge cell (finite, never read out of bounds).
TEST(EpaGeometry, BilinearOnNeighbourPairs) {
  const std::vector<float> in = {1, 2, 3, 4, 5, 6};
  DeviceBuffer<float> d_in = device_copy_of(in);
  DeviceBuffer<uint64_t> d_pairs(in.size());
  hcuda_2d_half_pack_pairs(d_pairs.get(), d_in.get(), 3, 2);
  const std::vector<uint64_t> pairs = host_copy_of(d_pairs);
  EXPECT_EQ(pair_left(pairs[1]), 2.0f);
  EXPECT_EQ(pair_right(pairs[1]), 3.0f);
  EXPECT_EQ(pair_right(pairs[2]), 3.0f);  // last column: its own value twice
  struct Case {
    float x, y, expected;
  };
  const Case cases[] = {
      {0, 0, 1},       {2, 1, 6},       {2, 0, 3},        {0, 1, 4},       {0.5f, 0, 1.5f}, {1.25f, 0.5f, 3.75f},
      {2, 0.5f, 4.5f}, {1.5f, 1, 5.5f}, {-0.5f, 0, 0.5f}, {3.5f, 1.0f, 6}, {0, -2, 1},
  };
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(bilinear_half(pairs.data(), c.x, c.y, 3, 2), c.expected) << c.x << "," << c.y;
  EXPECT_TRUE(on_half_spectrum(2, 1, 3, 2));
  EXPECT_TRUE(on_half_spectrum(-0.0f, 0, 3, 2));
  EXPECT_FALSE(on_half_spectrum(2.0001f, 1, 3, 2));
  EXPECT_FALSE(on_half_spectrum(1, -1e-6f, 3, 2));
}

TEST(EpaGeometry, ExpNegWithinAFewUnitsInTheLastPlace) {
  double worst = 0;
  for (float t = 0.0f; t <= 87.0f; t += 0.00731f) {
    const double exact = std::exp(-static_cast<double>(t));
    worst = std::max(worst, std::fabs(exp_neg(t) - exact) / exact);
  }
  EXPECT_LT(worst, 3.0e-7);
  EXPECT_EQ(exp_neg(0.0f), 1.0f);
  EXPECT_FLOAT_EQ(exp_neg(1000.0f), exp_neg(87.0f));
  EXPECT_FLOAT_EQ(exp_neg(NAN), exp_neg(87.0f));
  EXPECT_GT(exp_neg(INFINITY), 0.0f);
}

}  // namespace
