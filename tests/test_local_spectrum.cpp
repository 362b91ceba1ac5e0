// The local spectrum of a particle: its neighbourhood on the shared box grid, the weights of the
// boxes, and the sum of spectra computed once per grid box, which must equal the straightforward
// computation that cuts the same boxes again for every particle.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "arrays/particle_extract.h"
#include "backend/memory.h"
#include "ctf/local_grid.h"
#include "ctf/local_spectrum.h"
#include "ctf/local_weights.h"
#include "spectrum/spectrum_stack.h"
#include "spectrum_reference.h"

namespace {

TEST(LocalGrid, NeighbourhoodHoldsTheGridBoxesWithinTheRadius) {
  // 512-pixel boxes every 256 pixels on a 4096 x 3000 micrograph: 15 across, 10 down.
  const LocalGrid grid = local_grid(4096, 3000, 512, 256);
  ASSERT_EQ(grid.across, 15);
  ASSERT_EQ(grid.down, 10);
  // A particle on the centre of box (6, 4): the grid points (i, j) with i^2 + j^2 <= 4 steps^2.
  const std::vector<NeighbourBox> near = local_neighbourhood(grid, 6 * 256 + 256, 4 * 256 + 256, 512.0f);
  ASSERT_EQ(near.size(), 13u);
  EXPECT_EQ(near.front().box, 2 * 15 + 6);
  EXPECT_FLOAT_EQ(near.front().distance, 512.0f);
  EXPECT_EQ(near[6].box, 4 * 15 + 6);
  EXPECT_FLOAT_EQ(near[6].distance, 0.0f);
  for (size_t k = 1; k < near.size(); ++k) EXPECT_LT(near[k - 1].box, near[k].box);

  // At the corner only the quarter inside remains; box 0's centre is (256, 256).
  const std::vector<NeighbourBox> corner = local_neighbourhood(grid, 256, 256, 512.0f);
  ASSERT_EQ(corner.size(), 6u);
  EXPECT_FLOAT_EQ(corner[0].distance, 0.0f);
  // Far outside the micrograph, or with a radius too small to reach a box centre: nothing. Extreme
  // positions and radii do not overflow.
  EXPECT_TRUE(local_neighbourhood(grid, -5000, 100, 1024.0f).empty());
  EXPECT_EQ(local_neighbourhood(grid, 2147483647, -2147483647 - 1, 1e30f).size(), 150u);
  EXPECT_TRUE(local_neighbourhood(grid, 2147483647, 100, 1e9f).empty());
  EXPECT_TRUE(local_neighbourhood(grid, 6 * 256 + 384, 4 * 256 + 384, 100.0f).empty());
  // A micrograph smaller than a box has no grid.
  EXPECT_EQ(local_grid_box_total(local_grid(500, 4096, 512, 256)), 0);
}

TEST(LocalWeights, FallOffWithDistanceAndFrequency) {
  EXPECT_FLOAT_EQ(local_distance_weight(0.0f, 700.0f), 1.0f);
  EXPECT_NEAR(local_distance_weight(700.0f, 700.0f), 0.60653066f, 1e-6f);
  // Box 128 (nh 65) at 1 A per pixel: column 16 of the zero-frequency row lies at s = 1/8 A^-1.
  const int nh = 65, ny = 128;
  std::vector<float> columns(nh), rows(ny);
  const float d = 300.0f, R = 500.0f;
  local_frequency_weight_factors(columns.data(), rows.data(), d, R, nh, ny, 1.0f, 8.0f);
  EXPECT_FLOAT_EQ(columns[0] * rows[ny / 2], 1.0f);
  EXPECT_NEAR(columns[16] * rows[ny / 2], std::exp(-d * d / (4 * R * R)), 1e-6f);
  EXPECT_NEAR(columns[0] * rows[ny / 2 + 16], std::exp(-d * d / (4 * R * R)), 1e-6f);
  local_frequency_weight_factors(columns.data(), rows.data(), 0.0f, R, nh, ny, 1.0f, 8.0f);
  for (int x = 0; x < nh; ++x) EXPECT_EQ(columns[x], 1.0f);
  for (int y = 0; y < ny; ++y) EXPECT_EQ(rows[y], 1.0f);
}

// A 1000 x 700 image on a grid of 128-pixel boxes every 64 pixels; the grid ends before the last
// row and column, so the straightforward cutting (which leaves out boxes touching them) takes every
// box of a neighbourhood too.
class LocalSpectrumSum : public testing::Test {
 protected:
  static constexpr int nx = 1000, ny = 700, box = 128, step = 64, nh = box / 2 + 1;
  const size_t n = static_cast<size_t>(nh) * box;
  const std::vector<float> pixels = spectrum_reference::random_values(size_t(nx) * ny, 5, 0.0f, 1.0f);
  const DeviceBuffer<float> image = device_copy_of(pixels);
  const LocalGrid grid = local_grid(nx, ny, box, step);
  const std::vector<std::vector<NeighbourBox>> near = {local_neighbourhood(grid, 480, 350, 200.0f),
                                                       local_neighbourhood(grid, 70, 650, 300.0f)};
  const GridSpectra spectra = grid_spectra(image.get(), grid, grid_boxes_in_use(grid, near));

  // The same boxes cut into a stack and summed by the stack spectrum with the given weights.
  std::vector<float> straightforward(const std::vector<NeighbourBox>& boxes, const std::vector<float>& weights,
                                     int type) const {
    std::vector<PTCL_BOX> cut(boxes.size());
    for (size_t k = 0; k < boxes.size(); ++k) {
      const int i = boxes[k].box % grid.across, j = boxes[k].box / grid.across;
      cut[k] = PTCL_BOX{i * step, j * step, box, box, 0.0f, 0, 0.0f, boxes[k].distance};
    }
    DeviceBuffer<float> stack(boxes.size() * box * box), distances(boxes.size()), out(n);
    EXPECT_EQ(hcuda_2d_read_ptcls_to_2ds_from_boxes(stack.get(), cut.data(), distances.get(), int(cut.size()),
                                                    image.get(), nx, ny),
              int(cut.size()));
    if (type == 0) {
      hcuda_2ds_fft_r2c_amp_ave_log_subbg(stack.get(), out.get(), box, box, int(cut.size()), box / 12);
    } else {
      const DeviceBuffer<float> w = device_copy_of(weights);
      hcuda_2ds_fft_r2c_amp_weighted_ave_log_subbg(stack.get(), out.get(), box, box, int(cut.size()), box / 12, w.get(),
                                                   type);
    }
    return host_copy_of(out);
  }

  // Both neighbourhoods' spectra formed together; the one asked for.
  std::vector<float> local(size_t which, const LocalWeighting& weighting) const {
    LocalAverageScratch scratch = local_average_scratch(grid, 2, near[0].size() + near[1].size(), weighting.type);
    DeviceBuffer<float> out(2 * n);
    local_average_spectra(out.get(), spectra, near.data(), 2, weighting, scratch);
    const std::vector<float> both = host_copy_of(out);
    return std::vector<float>(both.begin() + which * n, both.begin() + (which + 1) * n);
  }
};

TEST_F(LocalSpectrumSum, EqualsCuttingTheSameBoxesForEachParticle) {
  ASSERT_EQ(near[0].size(), 32u);
  ASSERT_GT(near[1].size(), 3u);
  EXPECT_LT(spectra.spectra.size(), local_grid_box_total(grid) * n) << "only boxes in use are kept";
  const float R = 250.0f, apix = 1.3f, resolution = 6.0f;
  for (size_t which = 0; which < near.size(); ++which) {
    const std::vector<NeighbourBox>& boxes = near[which];
    SCOPED_TRACE(which);
    EXPECT_EQ(local(which, {kLocalEqualWeights, R, apix, resolution}), straightforward(boxes, {}, 0));

    std::vector<float> per_box;
    for (const NeighbourBox& b : boxes) per_box.push_back(local_distance_weight(b.distance, R));
    EXPECT_EQ(local(which, {kLocalDistanceWeights, R, apix, resolution}), straightforward(boxes, per_box, 1));

    // Per-frequency weights written out in full from their formula.
    std::vector<float> maps;
    for (const NeighbourBox& b : boxes)
      for (int y = 0; y < box; ++y)
        for (int x = 0; x < nh; ++x) {
          const double s = std::sqrt(double(x) * x + double(y - box / 2) * (y - box / 2)) / (2.0 * (nh - 1) * apix);
          const double sr = s * resolution;
          maps.push_back(float(std::exp(-sr * sr / 2 * b.distance * b.distance / (2.0 * R * R))));
        }
    const std::vector<float> expected = straightforward(boxes, maps, 2);
    const std::vector<float> got = local(which, {kLocalFrequencyWeights, R, apix, resolution});
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], expected[i], 2e-5f) << i;
  }
}

}  // namespace
