// The gridded spectrum from shared row transforms against the one from batches of cut boxes.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "backend/memory.h"
#include "spectrum/spectrum_grid.h"
#include "spectrum/spectrum_grid_strips.h"
#include "spectrum_reference.h"

namespace {

struct Grid {
  int nx, ny, bx, by, step;
};

// Even and odd sizes, oblong boxes, grids that stop short of the right and bottom edges, odd steps
// (boxes starting off the vector alignment) and a single box.
TEST(GridStrips, AddTheSameAmplitudesAsCutBoxes) {
  const Grid grids[] = {{128, 96, 32, 32, 16}, {101, 77, 24, 16, 10}, {90, 131, 33, 21, 7},
                        {64, 200, 16, 40, 13}, {45, 45, 45, 45, 3},   {256, 64, 64, 64, 32}};
  for (const Grid& g : grids) {
    SCOPED_TRACE(testing::Message() << g.nx << " x " << g.ny << " box " << g.bx << " x " << g.by << " step " << g.step);
    const std::vector<float> image =
        spectrum_reference::random_values(static_cast<size_t>(g.nx) * g.ny, g.nx + g.step, -1.0f, 3.0f);
    const size_t n = static_cast<size_t>(g.bx / 2 + 1) * g.by;
    // Both add to what out holds.
    const std::vector<float> start = spectrum_reference::random_values(n, 3, 0.0f, 10.0f);
    DeviceBuffer<float> d_image = device_copy_of(image), by_boxes = device_copy_of(start),
                        by_strips = device_copy_of(start);
    add_grid_amplitudes_by_boxes(by_boxes.get(), d_image.get(), g.nx, g.ny, g.bx, g.by, g.step);
    add_grid_amplitudes_by_strips(by_strips.get(), d_image.get(), g.nx, g.ny, g.bx, g.by, g.step);
    const std::vector<float> expected = host_copy_of(by_boxes), got = host_copy_of(by_strips);
    // The two differ by the FFTs' rounding, about eps log(n) times a typical amplitude, and by the
    // order in which boxes are summed; a box missed, repeated or misplaced changes values by a
    // typical amplitude itself.
    const double mean = std::accumulate(expected.begin(), expected.end(), 0.0) / n;
    for (size_t i = 0; i < n; ++i) ASSERT_NEAR(got[i], expected[i], 1e-5 * mean) << "value " << i;
    EXPECT_EQ(host_copy_of(d_image), image) << "the image stays";
  }
}

// The public entry point fills the spectrum from zero with the same values on every call, whatever
// it held and whatever the previous call left in the scratch.
TEST(GridStrips, GriddedSpectrumIsRepeatable) {
  const Grid g{150, 110, 48, 48, 24};
  const std::vector<float> image = spectrum_reference::random_values(static_cast<size_t>(g.nx) * g.ny, 8);
  const size_t n = static_cast<size_t>(g.bx / 2 + 1) * g.by;
  DeviceBuffer<float> d_image = device_copy_of(image), out = device_copy_of(std::vector<float>(n, 5.0f));
  hcuda_2d_gridfft_r2c_amp_ave(d_image.get(), out.get(), g.nx, g.ny, g.bx, g.by, g.step, 0);
  const std::vector<float> first = host_copy_of(out);
  hcuda_2d_gridfft_r2c_amp_ave(d_image.get(), out.get(), g.nx, g.ny, g.bx, g.by, g.step, 0);
  EXPECT_EQ(host_copy_of(out), first);
}

}  // namespace
