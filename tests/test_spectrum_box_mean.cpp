// The square-window mean by running sums against the window sum taken pixel by pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "backend/memory.h"
#include "spectrum/box_mean.h"
#include "spectrum_reference.h"

namespace {

using spectrum_reference::box_mean;
using spectrum_reference::random_values;

std::vector<float> device_box_mean(const std::vector<float>& image, int nx, int ny, int kx, int ky) {
  DeviceBuffer<float> in = device_copy_of(image), out(image.size());
  hcuda_2d_convolution_by_box(in.get(), out.get(), nx, ny, kx, ky);
  return host_copy_of(out);
}

TEST(BoxMean, WindowOfTwoAveragesThePixelItsLeftNeighbourAndTheTwoAbove) {
  const int nx = 4, ny = 3;
  std::vector<float> image(nx * ny);
  for (int i = 0; i < nx * ny; ++i) image[i] = float(1 << i);
  const std::vector<float> got = device_box_mean(image, nx, ny, 2, 2);
  EXPECT_EQ(got[1 * nx + 2], (image[0 * nx + 1] + image[0 * nx + 2] + image[1 * nx + 1] + image[1 * nx + 2]) / 4);
  EXPECT_EQ(got[0], image[0]) << "the window is cut to the image";
  EXPECT_EQ(got[2 * nx + 0], (image[1 * nx + 0] + image[2 * nx + 0]) / 2);
}

TEST(BoxMean, WindowOf51CoversFrom25BeforeTo24After) {
  const int nx = 120, ny = 110;
  const std::vector<float> image = random_values(nx * ny, 51);
  const std::vector<float> got = device_box_mean(image, nx, ny, 51, 51);
  double sum = 0;
  for (int y = 55 - 25; y <= 55 + 24; ++y)
    for (int x = 60 - 25; x <= 60 + 24; ++x) sum += image[y * nx + x];
  EXPECT_NEAR(got[55 * nx + 60], sum / 2500, 1e-7);
  // Near the corner only the part inside the image counts: (3, 4) keeps columns 0 ... 27, rows 0 ... 28.
  sum = 0;
  for (int y = 0; y <= 28; ++y)
    for (int x = 0; x <= 27; ++x) sum += image[y * nx + x];
  EXPECT_NEAR(got[4 * nx + 3], sum / (28 * 29), 1e-7);
}

// Running sums in double precision: within rounding of the direct double mean, and within the
// rounding a direct float sum makes.
TEST(BoxMean, RunningSumsAgreeWithTheDirectWindowSum) {
  const struct { int nx, ny, kx, ky; float offset; } cases[] = {
      {64, 48, 2, 2, 0}, {64, 48, 51, 51, 0}, {37, 29, 7, 4, 0}, {33, 40, 85, 85, 0},
      {100, 80, 16, 9, 10.0f}, {20, 30, 3, 3, -5.0f}, {1, 7, 5, 5, 0}, {9, 1, 4, 6, 1.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nx << " x " << c.ny << " window " << c.kx << " x " << c.ky);
    const std::vector<float> image = random_values(static_cast<size_t>(c.nx) * c.ny, c.nx + 7 * c.ky, c.offset - 3, c.offset + 3);
    const std::vector<float> got = device_box_mean(image, c.nx, c.ny, c.kx, c.ky);
    const std::vector<float> exact = box_mean<double>(image, c.nx, c.ny, c.kx, c.ky);
    const std::vector<float> single = box_mean<float>(image, c.nx, c.ny, c.kx, c.ky);
    const float scale = std::fabs(c.offset) + 3;
    for (size_t i = 0; i < image.size(); ++i) {
      EXPECT_NEAR(got[i], exact[i], 2e-7f * scale) << "pixel " << i;
      EXPECT_NEAR(got[i], single[i], 2e-5f * scale) << "pixel " << i;
    }
  }
}

TEST(BoxMean, WindowsBelowTwoPixelsKeepThePixel) {
  const std::vector<float> image = random_values(30, 1);
  for (int k : {1, 0, -3}) EXPECT_EQ(device_box_mean(image, 6, 5, k, k), image) << "window " << k;
  const std::vector<float> rows_only = device_box_mean(image, 6, 5, 1, 4);
  EXPECT_EQ(rows_only, box_mean<double>(image, 6, 5, 1, 4));
}

// An infinity or NaN affects only the windows that hold it, as in a direct float sum.
TEST(BoxMean, NonFiniteValuesStayInsideTheirWindows) {
  const int nx = 20, ny = 16, k = 6;
  const float inf = std::numeric_limits<float>::infinity();
  struct Bad { int x, y; float value; };
  const std::vector<std::vector<Bad>> cases = {
      {{5, 4, -inf}}, {{12, 10, inf}}, {{3, 3, std::nanf("")}}, {{8, 8, -inf}, {9, 9, inf}}};
  for (const auto& bad : cases) {
    std::vector<float> image = random_values(nx * ny, 3);
    for (const Bad& b : bad) image[b.y * nx + b.x] = b.value;
    const std::vector<float> got = device_box_mean(image, nx, ny, k, k);
    const std::vector<float> expected = box_mean<float>(image, nx, ny, k, k);
    for (size_t i = 0; i < image.size(); ++i) {
      if (std::isfinite(expected[i])) EXPECT_NEAR(got[i], expected[i], 1e-5) << "pixel " << i;
      else if (std::isnan(expected[i])) EXPECT_TRUE(std::isnan(got[i])) << "pixel " << i;
      else EXPECT_EQ(got[i], expected[i]) << "pixel " << i;
    }
  }
}

}  // namespace
