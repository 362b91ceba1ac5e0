// Batched row and column FFT passes: together they give the 2D transform of a box read in place
// from a larger image, wherever the box starts, and leave their inputs as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "backend/device_failure.h"
#include "backend/fft_pass_plans.h"
#include "backend/fft_plan.h"
#include "backend/memory.h"
#include "backend/workspace.h"
#include "spectrum_reference.h"

namespace {

using spectrum_reference::random_values;

struct Box {
  int nx, ny;  // the image
  int x0, y0, bx, by;
};

std::vector<float2> box_transform(const std::vector<float>& image, const Box& b) {
  std::vector<float> box(static_cast<size_t>(b.bx) * b.by);
  for (int r = 0; r < b.by; ++r)
    for (int x = 0; x < b.bx; ++x) box[r * b.bx + x] = image[(b.y0 + r) * b.nx + b.x0 + x];
  DeviceBuffer<float> in = device_copy_of(box);
  DeviceBuffer<float2> out(static_cast<size_t>(b.bx / 2 + 1) * b.by);
  fft_plan_2d(b.bx, b.by).forward(in.get(), out.get());
  return host_copy_of(out);
}

// Float FFT errors grow as eps log(n) times the transform's norm, sqrt(bx by) times the values'
// size (below 1 here); a misplaced row or column changes values by about that norm itself.
void expect_transform_near(const std::vector<float2>& got, const std::vector<float2>& expected, const Box& b) {
  ASSERT_EQ(got.size(), expected.size());
  const float tolerance = 1e-5f * std::sqrt(static_cast<float>(b.bx * b.by));
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].x, expected[i].x, tolerance) << "value " << i;
    EXPECT_NEAR(got[i].y, expected[i].y, tolerance) << "value " << i;
  }
}

// Odd and even sizes, rows an odd number of floats apart, and boxes starting off FFTW's alignment
// (which take the plans' unaligned form).
TEST(FftPassPlans, RowsThenColumnsGiveTheTransformOfABoxInPlace) {
  const Box boxes[] = {{64, 48, 16, 8, 32, 24}, {37, 29, 3, 5, 17, 11}, {40, 40, 1, 0, 16, 33}, {20, 9, 0, 0, 20, 9}};
  for (const Box& b : boxes) {
    SCOPED_TRACE(testing::Message() << "box " << b.bx << " x " << b.by << " at " << b.x0 << ", " << b.y0);
    const std::vector<float> image = random_values(static_cast<size_t>(b.nx) * b.ny, b.nx * b.by);
    const int half = b.bx / 2 + 1, row_distance = half + 3;
    DeviceBuffer<float> d_image = device_copy_of(image);
    DeviceBuffer<float2> strip(static_cast<size_t>(b.by) * row_distance), out(static_cast<size_t>(half) * b.by);
    ASSERT_EQ(fft_rows_plan(b.bx, b.by, b.nx, row_distance).forward(d_image.get() + b.y0 * b.nx + b.x0, strip.get()),
              0);
    const std::vector<float2> rows = host_copy_of(strip);
    ASSERT_EQ(fft_columns_plan(b.by, half, row_distance, half).forward(strip.get(), 0, out.get(), 0, 1), 0);
    expect_transform_near(host_copy_of(out), box_transform(image, b), b);
    EXPECT_EQ(host_copy_of(d_image), image) << "the rows' input stays";
    const std::vector<float2> rows_after = host_copy_of(strip);
    for (int r = 0; r < b.by; ++r)
      for (int c = 0; c < half; ++c) {
        const float2 before = rows[r * row_distance + c], after = rows_after[r * row_distance + c];
        ASSERT_TRUE(before.x == after.x && before.y == after.y) << "the columns' input stays, " << r << ", " << c;
      }
  }
}

// Overlapping blocks of one strip, as the boxes of one grid column take them, more than there are
// cores, each into its own place.
TEST(FftPassPlans, ColumnBlocksAreTransformedEachIntoItsPlace) {
  const int nx = 24, ny = 70, bx = 24, by = 16, step = 9, blocks = 7, half = bx / 2 + 1;
  const std::vector<float> image = random_values(static_cast<size_t>(nx) * ny, 5);
  DeviceBuffer<float> d_image = device_copy_of(image);
  DeviceBuffer<float2> strip(static_cast<size_t>(ny) * half), out(static_cast<size_t>(blocks) * half * by);
  ASSERT_EQ(fft_rows_plan(bx, ny, nx, half).forward(d_image.get(), strip.get()), 0);
  const size_t n = static_cast<size_t>(half) * by;
  ASSERT_EQ(fft_columns_plan(by, half, half, half).forward(strip.get(), step * half, out.get(), n, blocks), 0);
  const std::vector<float2> all = host_copy_of(out);
  for (int k = 0; k < blocks; ++k) {
    SCOPED_TRACE(testing::Message() << "block " << k);
    const Box b{nx, ny, 0, k * step, bx, by};
    expect_transform_near(std::vector<float2>(all.begin() + k * n, all.begin() + (k + 1) * n), box_transform(image, b),
                          b);
  }
}

TEST(FftPassPlans, ImpossibleShapesAreDeviceFailures) {
  DeviceBuffer<float> in(64);
  DeviceBuffer<float2> out(64);
  const FftRowsPlan rows(8, 2, 7, 5);  // rows overlap
  EXPECT_TRUE(device_failed());
  EXPECT_EQ(rows.forward(in.get(), out.get()), -1);
  const FftColumnsPlan columns(0, 4, 4, 4);
  EXPECT_EQ(columns.forward(out.get(), 0, out.get() + 32, 0, 1), -1);
  EXPECT_GE(device_failure().count, 3);
  clear_device_failure();
}

}  // namespace
