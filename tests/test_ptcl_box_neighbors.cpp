// Neighbour boxes on a grid around a particle and from a box file, with their Gaussian weights.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "io/ptcl_box.h"
#include "io/ptcl_box_neighbors.h"
#include "test_util.h"

namespace {

PTCL_BOX eman_box(int x, int y, int size) {
  PTCL_BOX box = one_new_ptcl_box();
  box.x = x;
  box.y = y;
  box.width = box.height = size;
  return box;
}

TEST(NeighborBoxes, RadiusEqualToTheStepGivesTheCentreOnly) {
  std::vector<PTCL_BOX> out(PTCL_BOX_CAPACITY);
  const PTCL_BOX centre = eman_box(100, 200, 64);  // centre (132, 232)
  ASSERT_EQ(auto_generate_neighbor_boxes(out.data(), PTCL_BOX_CAPACITY, &centre, 100.0f, 64, 100), 1);
  EXPECT_EQ(out[0].x, 100);
  EXPECT_EQ(out[0].y, 200);
  EXPECT_EQ(out[0].width, 64);
  EXPECT_EQ(out[0].height, 64);
  EXPECT_FLOAT_EQ(out[0].score, 0.3989423f);
  EXPECT_FLOAT_EQ(out[0].distance, 0.0f);
  EXPECT_EQ(out[1].width, 0);
  EXPECT_EQ(count_neighbor_boxes(100.0f, 100), 1);
}

TEST(NeighborBoxes, RadiusJustAboveTheStepGivesTheFourNeighboursInOrder) {
  std::vector<PTCL_BOX> out(PTCL_BOX_CAPACITY);
  const PTCL_BOX centre = eman_box(100, 200, 64);
  ASSERT_EQ(auto_generate_neighbor_boxes(out.data(), PTCL_BOX_CAPACITY, &centre, 101.0f, 32, 100), 5);
  const int expected[5][2] = {{132, 232}, {232, 232}, {32, 232}, {132, 332}, {132, 132}};
  const float outer_weight = 0.3989423f * expf(-4.5f * 10000.0f / 10201.0f);
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(out[k].x + 16, expected[k][0]) << k;
    EXPECT_EQ(out[k].y + 16, expected[k][1]) << k;
    EXPECT_EQ(out[k].width, 32);
    EXPECT_EQ(out[k].class_id, 0);
    EXPECT_FLOAT_EQ(out[k].angle, 0.0f);
    EXPECT_FLOAT_EQ(out[k].distance, k == 0 ? 0.0f : 100.0f) << k;
    EXPECT_FLOAT_EQ(out[k].score, k == 0 ? 0.3989423f : outer_weight) << k;
  }
  EXPECT_NEAR(outer_weight, 0.0048428f, 1e-6f);
}

// Every lattice point inside the disc, enumerated over the whole square independently of the
// generator's mirroring.
std::set<std::pair<int, int>> lattice_in_disc(float radius, int step) {
  std::set<std::pair<int, int>> points;
  const int reach = static_cast<int>(radius / step) + 1;
  for (int a = -reach; a <= reach; ++a)
    for (int b = -reach; b <= reach; ++b) {
      const bool within_rows = radius > static_cast<float>(std::abs(a) * step) &&
                               radius > static_cast<float>(std::abs(b) * step);
      if (within_rows && radius * radius >= static_cast<float>((a * a + b * b) * step * step))
        points.insert({a * step, b * step});
    }
  return points;
}

TEST(NeighborBoxes, EveryGridPointInsideTheDiscOccursOnce) {
  std::vector<PTCL_BOX> out(PTCL_BOX_CAPACITY);
  const PTCL_BOX centre = one_new_ptcl_box();  // centre (0, 0)
  for (const auto& [radius, step] : {std::make_pair(250.0f, 50), std::make_pair(1000.0f, 64),
                                     std::make_pair(99.5f, 33), std::make_pair(0.5f, 1)}) {
    const int n = auto_generate_neighbor_boxes(out.data(), PTCL_BOX_CAPACITY, &centre, radius, 0, step);
    std::set<std::pair<int, int>> made;
    for (int k = 0; k < n; ++k) {
      made.insert({out[k].x, out[k].y});
      EXPECT_FLOAT_EQ(out[k].distance, std::hypot(static_cast<float>(out[k].x), static_cast<float>(out[k].y)));
    }
    EXPECT_EQ(static_cast<int>(made.size()), n) << "a point made twice, radius " << radius;
    EXPECT_EQ(made, lattice_in_disc(radius, step)) << "radius " << radius << " step " << step;
    EXPECT_EQ(count_neighbor_boxes(radius, step), n);
  }
}

TEST(NeighborBoxes, CountsBeyondTheTableAndBadStepsStaySafe) {
  EXPECT_EQ(count_neighbor_boxes(1e6f, 1), PTCL_BOX_CAPACITY + 1);
  EXPECT_EQ(count_neighbor_boxes(1e30f, 2000000000), PTCL_BOX_CAPACITY + 1);
  EXPECT_EQ(count_neighbor_boxes(100.0f, 0), 0);
  EXPECT_EQ(count_neighbor_boxes(-5.0f, 10), 0);
  EXPECT_EQ(count_neighbor_boxes(NAN, 10), 0);

  std::vector<PTCL_BOX> out(4);
  const PTCL_BOX centre = eman_box(0, 0, 0);
  int n = 0;
  const std::string printed =
      captured_stdout([&] { n = auto_generate_neighbor_boxes(out.data(), 3, &centre, 101.0f, 10, 100); });
  EXPECT_EQ(n, 3);
  EXPECT_NE(printed.find("more than 3 neighbour boxes"), std::string::npos) << printed;
  EXPECT_EQ(auto_generate_neighbor_boxes(out.data(), 3, &centre, 101.0f, 10, 0), 0);
}

TEST(NeighborBoxes, BoxFileBoxesAreWeightedByDistanceAndRecut) {
  TempDir dir;
  const std::string path = dir.file("n.box");
  FILE* f = fopen(path.c_str(), "w");
  fputs("100 200 64 64\n160 280 64 64\n", f);  // centres (132, 232) and (192, 312)
  fclose(f);
  std::vector<PTCL_BOX> out(PTCL_BOX_CAPACITY);
  const PTCL_BOX centre = eman_box(100, 200, 64);
  ASSERT_EQ(generate_neighbor_boxes_from_boxf(out.data(), PTCL_BOX_CAPACITY, &centre, 150.0f, 128, path.c_str()), 2);
  EXPECT_FLOAT_EQ(out[0].score, 0.3989423f);
  EXPECT_FLOAT_EQ(out[1].score, 0.3989423f * expf(-10000.0f / (22500.0f / 4.5f)));  // distance 100
  EXPECT_EQ(out[1].x, 192 - 64);
  EXPECT_EQ(out[1].y, 312 - 64);
  EXPECT_EQ(out[1].width, 128);
  EXPECT_FLOAT_EQ(out[1].distance, 0.0f);
}

}  // namespace
