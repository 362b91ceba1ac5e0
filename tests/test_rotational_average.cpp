// The 1D rotational average of a centred half spectrum.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spectrum/rotational_average.h"

namespace {

TEST(RotationalAverage, ConstantSpectrumGivesTheConstantInEveryBin) {
  for (int box : {6, 7, 64, 512}) {
    const int width = box / 2 + 1;
    const std::vector<float> half(static_cast<size_t>(width) * box, 2.5f);
    std::vector<float> out(width, -1.0f);
    EXPECT_EQ(rotational_average_2d_half(half.data(), out.data(), width, box), 0);
    for (int i = 0; i < width; ++i) EXPECT_NEAR(out[i], 2.5f, 1e-5) << "box " << box << " bin " << i;
  }
}

// A spectrum equal to the radius: with linear weights into the two nearest bins, bin i is a
// triangle-weighted mean of the radii around i, about i + 1/(6 i) (more pixels lie further out);
// putting a pixel wholly into one bin would be off by about half a pixel.
TEST(RotationalAverage, RadiusSpectrumGivesAboutTheBinRadius) {
  const int box = 64, width = box / 2 + 1;
  std::vector<float> half(static_cast<size_t>(width) * box);
  for (int y = 0; y < box; ++y)
    for (int x = 0; x < width; ++x) half[y * width + x] = std::sqrt(float(x * x + (y - box / 2) * (y - box / 2)));
  std::vector<float> out(width);
  rotational_average_2d_half(half.data(), out.data(), width, box);
  for (int i = 1; i < width - 1; ++i) EXPECT_NEAR(out[i], i + 1.0 / (6 * i), 0.06) << i;
}

// 2 x 2 half spectrum (width 2, height 2; zero frequency at (0, 1)): pixel radii 1, sqrt 2, 0, 1.
TEST(RotationalAverage, WorkedExampleOfTwoByTwo) {
  const std::vector<float> half = {10, 20, 30, 40};
  std::vector<float> out(2);
  rotational_average_2d_half(half.data(), out.data(), 2, 2);
  // Bin 0: pixel (0, 1) whole, weight 1.  Bin 1: (0, 0) and (1, 1) whole, (1, 0) at r = 1.414 with
  // weight 1 - 0.414 (its share of bin 2 falls outside).
  const float f = std::sqrt(2.0f) - 1;
  EXPECT_FLOAT_EQ(out[0], 30.0f);
  EXPECT_FLOAT_EQ(out[1], (10 + 40 + 20 * (1 - f)) / (2 + (1 - f)));
}

}  // namespace
