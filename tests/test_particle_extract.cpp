// Cutting particle boxes into stacks: the strict edge rule, recorded distances, the warnings of the
// host form, and the particle readers of MRC micrographs with box files; cutting boxes that reach
// past the micrograph and pasting particles back, matched to the regions they replace.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "arrays/micrograph_particles.h"
#include "arrays/particle_extract.h"
#include "backend/memory.h"
#include "io/mrc_particles.h"
#include "io/mrc_read.h"
#include "io/mrc_write.h"
#include "io/ptcl_box.h"
#include "test_util.h"

namespace {

constexpr int kNx = 10, kNy = 8;

std::vector<float> numbered_image() {
  std::vector<float> image(kNx * kNy);
  for (int i = 0; i < kNx * kNy; ++i) image[i] = float(i);
  return image;
}

PTCL_BOX box_at(int x, int y, int w, int h, float distance = 0) {
  PTCL_BOX b = one_new_ptcl_box();
  b.x = x;
  b.y = y;
  b.width = w;
  b.height = h;
  b.distance = distance;
  return b;
}

// Boxes of 3 x 2 (the later sizes are ignored): taken are (0, 0), (6, 0), (2, 5) and (1, 1).
const std::vector<PTCL_BOX> kBoxes = {box_at(0, 0, 3, 2, 1.5f), box_at(7, 0, 3, 2, 2.5f),  box_at(6, 0, 3, 2, 3.5f),
                                      box_at(0, 6, 3, 2, 4.5f), box_at(-1, 2, 3, 2, 5.5f), box_at(2, 5, 9, 9, 6.5f),
                                      box_at(1, 1, 1, 1, 7.5f)};
const int kTaken[][2] = {{0, 0}, {6, 0}, {2, 5}, {1, 1}};

std::vector<float> expected_stack() {
  std::vector<float> stack;
  for (const auto& corner : kTaken)
    for (int r = 0; r < 2; ++r)
      for (int x = 0; x < 3; ++x) stack.push_back(float((corner[1] + r) * kNx + corner[0] + x));
  return stack;
}

TEST(ParticleExtraction, CutsOnlyBoxesStrictlyInsideAndRecordsTheirDistances) {
  DeviceBuffer<float> image = device_copy_of(numbered_image()), stack(kBoxes.size() * 6);
  DeviceBuffer<float> distances = device_copy_of(std::vector<float>(kBoxes.size(), -1.0f));
  const int count = hcuda_2d_read_ptcls_to_2ds_from_boxes(stack.get(), kBoxes.data(), distances.get(),
                                                          int(kBoxes.size()), image.get(), kNx, kNy);
  ASSERT_EQ(count, 4);
  EXPECT_EQ(host_copy_of(stack.get(), count * 6), expected_stack());
  EXPECT_EQ(host_copy_of(distances), (std::vector<float>{1.5f, 3.5f, 6.5f, 7.5f, -1, -1, -1}));
  EXPECT_EQ(count_ptcl_boxes_inside_image(kBoxes.data(), int(kBoxes.size()), kNx, kNy), 4);
  EXPECT_EQ(
      hcuda_2d_read_ptcls_to_2ds_from_boxes(stack.get(), kBoxes.data(), distances.get(), 0, image.get(), kNx, kNy), 0);
}

TEST(ParticleExtraction, HostFormWarnsForEachBoxLeftOut) {
  const std::vector<float> image = numbered_image();
  std::vector<float> stack(kBoxes.size() * 6, -1.0f);
  int count = 0;
  const std::string printed = captured_stdout([&] {
    count =
        host_2d_read_ptcls_to_2ds_from_boxes(stack.data(), kBoxes.data(), int(kBoxes.size()), image.data(), kNx, kNy);
  });
  ASSERT_EQ(count, 4);
  EXPECT_EQ(std::vector<float>(stack.begin(), stack.begin() + 24), expected_stack());
  EXPECT_EQ(printed,
            "Warning: box (7 0 3 2)out of range, skip extracting this particle!\n"
            "Warning: box (0 6 3 2)out of range, skip extracting this particle!\n"
            "Warning: box (-1 2 3 2)out of range, skip extracting this particle!\n");
}

TEST(ParticleExtraction, BoxesWithoutASizeAreNeverCut) {
  const std::vector<PTCL_BOX> centres = {box_at(4, 4, 0, 0), box_at(5, 5, 3, 2)};
  DeviceBuffer<float> image = device_copy_of(numbered_image()), stack(12), distances(2);
  EXPECT_EQ(
      hcuda_2d_read_ptcls_to_2ds_from_boxes(stack.get(), centres.data(), distances.get(), 2, image.get(), kNx, kNy), 0);
}

class MrcParticles : public testing::Test {
 protected:
  TempDir dir;
  const std::string micrograph = dir.file("mic.mrc");
  void SetUp() override { mrcf_write_xyz_data(micrograph.c_str(), numbered_image().data(), kNx, kNy, 1); }
  std::string box_file(const std::string& lines) const {
    const std::string path = dir.file("mic.box");
    std::ofstream(path) << lines;
    return path;
  }
};

TEST_F(MrcParticles, ReadsTheParticlesOfABoxFile) {
  const std::string boxes = box_file("0 0 3 2\n7 0 3 2\n6 0 3 2\n0 6 3 2\n-1 2 3 2\n2 5 3 2\n1 1 3 2\n");
  ParticleStack particles;
  std::string printed = captured_stdout(
      [&] { EXPECT_EQ(mrcf_2d_read_ptcls_to_data_from_boxf(particles, micrograph.c_str(), boxes.c_str()), 4); });
  EXPECT_EQ(particles.width, 3);
  EXPECT_EQ(particles.height, 2);
  EXPECT_EQ(particles.count, 4);
  EXPECT_EQ(std::vector<float>(particles.data.get(), particles.data.get() + 24), expected_stack());
  EXPECT_NE(printed.find("Warning: box (7 0 3 2)out of range"), std::string::npos);

  const std::string out = dir.file("particles.mrcs");
  printed = captured_stdout(
      [&] { EXPECT_EQ(mrcf_2d_read_ptcls_to_mrcf_from_boxf(out.c_str(), micrograph.c_str(), boxes.c_str()), 4); });
  MRC_HEAD head;
  ASSERT_EQ(mrcf_read_head(out.c_str(), &head), 0);
  EXPECT_EQ(head.nx, 3);
  EXPECT_EQ(head.ny, 2);
  EXPECT_EQ(head.nz, 4);
  EXPECT_EQ(head.mode, 2);
  const HostBuffer<float> written = get_mrcf_data_all(out.c_str());
  EXPECT_EQ(std::vector<float>(written.get(), written.get() + 24), expected_stack());
}

TEST_F(MrcParticles, WritesNothingWhenNoBoxFits) {
  const std::string boxes = box_file("8 0 3 2\n");
  const std::string out = dir.file("none.mrcs");
  const std::string printed = captured_stdout(
      [&] { EXPECT_EQ(mrcf_2d_read_ptcls_to_mrcf_from_boxf(out.c_str(), micrograph.c_str(), boxes.c_str()), 0); });
  EXPECT_NE(printed.find("Warning in function mrcf_2d_read_ptcls_to_mrcf_from_boxf(), file mrc on line"),
            std::string::npos);
  EXPECT_NE(access(out.c_str(), F_OK), 0);
}

}  // namespace

namespace {

constexpr int kLargeX = 20, kLargeY = 16, kSide = 6;

std::vector<float> wavy_micrograph() {
  std::vector<float> image(kLargeX * kLargeY);
  for (size_t i = 0; i < image.size(); ++i) image[i] = float(50 + 10 * std::sin(0.37 * i) + 4 * std::cos(2.3 * i * i));
  return image;
}

// Overlapping boxes, one reaching past the top-left corner and one past the bottom-right.
const std::vector<PTCL_BOX> kPasteBoxes = {box_at(3, 2, kSide, kSide), box_at(6, 5, kSide, kSide),
                                           box_at(-2, -3, kSide, kSide), box_at(17, 12, kSide, kSide)};

float region_value(const std::vector<float>& image, const PTCL_BOX& box, int x, int y) {
  const int gx = box.x + x, gy = box.y + y;
  return gx >= 0 && gx < kLargeX && gy >= 0 && gy < kLargeY ? image[gy * kLargeX + gx] : 0.0f;
}

std::vector<float> extracted(const std::vector<float>& image) {
  std::vector<float> stack(kPasteBoxes.size() * kSide * kSide, -1.0f);
  cpu_x2d_extract_ptcls_from_micrograph(stack.data(), kSide, kSide, int(kPasteBoxes.size()), image.data(), kLargeX,
                                        kLargeY, kPasteBoxes.data());
  return stack;
}

}  // namespace

TEST(MicrographParticles, CutsBoxesWithZerosOffTheMicrographAndPastingThemBackChangesNothing) {
  const std::vector<float> image = wavy_micrograph();
  std::vector<float> stack = extracted(image);
  for (size_t b = 0; b < kPasteBoxes.size(); ++b)
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x)
        ASSERT_EQ(stack[(b * kSide + y) * kSide + x], region_value(image, kPasteBoxes[b], x, y)) << b;
  EXPECT_EQ(particle_paste_problem(stack.data(), kSide, kSide, int(stack.size() / 36), kPasteBoxes.data()), "");

  std::vector<float> pasted = image;
  const std::vector<float> refs = stack;
  cpu_x2d_norm_cp_ptcls_to_micrograph(pasted.data(), stack.data(), refs.data(), kLargeX, kLargeY, kSide, kSide,
                                      int(kPasteBoxes.size()), kPasteBoxes.data());
  EXPECT_EQ(pasted, image) << "each particle already has the mean and spread of its region";
  EXPECT_EQ(stack, refs);
}

TEST(MicrographParticles, PastedParticlesTakeTheMeanAndSpreadOfTheRegionTheyReplace) {
  const std::vector<float> image = wavy_micrograph();
  const PTCL_BOX box = box_at(5, 4, kSide, kSide);
  std::vector<float> particle(kSide * kSide), region(kSide * kSide);
  for (int i = 0; i < kSide * kSide; ++i) particle[i] = float(i % 7) - 2.5f * float(i / 7);
  cpu_x2d_extract_ptcls_from_micrograph(region.data(), kSide, kSide, 1, image.data(), kLargeX, kLargeY, &box);
  std::vector<float> pasted = image;
  cpu_x2d_norm_cp_ptcls_to_micrograph(pasted.data(), particle.data(), particle.data(), kLargeX, kLargeY, kSide, kSide,
                                      1, &box);
  double region_mean = 0, particle_mean = 0;
  for (int i = 0; i < kSide * kSide; ++i) {
    region_mean += region[i] / 36.0;
    particle_mean += (float(i % 7) - 2.5f * float(i / 7)) / 36.0;
  }
  double region_var = 0, particle_var = 0;
  for (int i = 0; i < kSide * kSide; ++i) {
    region_var += std::pow(region[i] - region_mean, 2) / 36;
    particle_var += std::pow(float(i % 7) - 2.5f * float(i / 7) - particle_mean, 2) / 36;
  }
  const double k = std::sqrt(region_var / particle_var);
  for (int y = 0; y < kLargeY; ++y)
    for (int x = 0; x < kLargeX; ++x) {
      const bool inside = x >= 5 && x < 5 + kSide && y >= 4 && y < 4 + kSide;
      const int i = (y - 4) * kSide + (x - 5);
      const double want =
          inside ? (float(i % 7) - 2.5f * float(i / 7) - particle_mean) * k + region_mean : image[y * kLargeX + x];
      EXPECT_NEAR(pasted[y * kLargeX + x], want, 1e-4) << x << "," << y;
    }
}

TEST(MicrographParticles, AFlatReferenceIsRefusedNamingItsBox) {
  std::vector<float> image = wavy_micrograph();
  std::vector<float> stack = extracted(image);
  std::fill(stack.begin() + 2 * 36, stack.begin() + 3 * 36, 7.0f);
  const std::string problem = particle_paste_problem(stack.data(), kSide, kSide, 4, kPasteBoxes.data());
  EXPECT_NE(problem.find("reference image 3 (box at x -2, y -3)"), std::string::npos) << problem;
  EXPECT_EXIT_STDOUT(cpu_x2d_norm_cp_ptcls_to_micrograph(image.data(), stack.data(), stack.data(), kLargeX, kLargeY,
                                                         kSide, kSide, 4, kPasteBoxes.data()),
                     1, "reference image 3");
}
