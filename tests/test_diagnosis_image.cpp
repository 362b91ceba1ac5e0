// The diagnosis image: composition of the two halves, the resolution ring and the written file.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/ctf_model.h"
#include "io/mrc_header.h"
#include "io/mrc_read.h"
#include "output/diagnosis_image.h"
#include "param_test_args.h"
#include "run/stage_settings.h"
#include "test_util.h"

namespace {

TEST(DiagnosisImage, CombinesTheSimulatedAndMeasuredHalvesAroundTheZeroFrequency) {
  // A 6 x 4 image from halves of 4 x 4: h = 3, the measured zero frequency at column 2, row 2.
  const int nx = 6, ny = 4, w = 4;
  std::vector<float> sim(w * ny), raw(w * ny), out(nx * ny);
  for (int i = 0; i < w * ny; ++i) {
    sim[i] = 100.0f + i;
    raw[i] = 200.0f + i;
  }
  host_2d_half_sim_raw_combine(out.data(), sim.data(), raw.data(), nx, ny);
  // Left part (x < 2): point reflection of the simulated half; row 1 reads simulated row 3.
  EXPECT_EQ(out[1 * nx + 0], sim[3 * w + 2]);
  EXPECT_EQ(out[1 * nx + 1], sim[3 * w + 1]);
  EXPECT_EQ(out[0 * nx + 0], sim[0 * w + 2]);  // row 0 mirrors onto itself ((4 - 0) mod 4)
  // Right part: measured columns 0 ... 3 from image column 2 on.
  for (int y = 0; y < ny; ++y)
    for (int x = 2; x < nx; ++x) EXPECT_EQ(out[y * nx + x], raw[y * w + (x - 2)]);
}

TEST(DiagnosisImage, RingRadiusAndWidthFollowTheResolution) {
  struct Case {
    int n;
    float apix, resolution, radius, width;
  } cases[] = {{1024, 1.0f, 4.0f, 256.0f, 2.0f}, {512, 1.0f, 4.0f, 128.0f, 1.5f}};
  for (const Case& c : cases) {
    std::vector<float> image(static_cast<size_t>(c.n) * c.n, 0.0f);
    plot_circle(image.data(), c.resolution, c.apix, c.n, c.n);
    const int cx = c.n / 2, cy = c.n / 2;
    for (int dx = 0; dx < c.n / 2; ++dx) {
      const float d = static_cast<float>(dx) - c.radius;
      const bool on_ring = -c.width < d && d <= c.width;
      EXPECT_EQ(image[static_cast<size_t>(cy) * c.n + cx + dx] == 5.0f, on_ring) << c.n << " dx " << dx;
    }
  }
}

// The ring marks exactly the pixels that the distance test marks over the whole image, for rings
// inside, crossing and beyond the image, odd and non-square sizes, and radii of a pixel or less.
TEST(DiagnosisImage, RingMarksEveryPixelWithinItsWidthAndNoOther) {
  struct Case {
    int nx, ny;
    float apix, resolution;
  } cases[] = {{1024, 1024, 1.06f, 3.1f}, {512, 384, 1.3f, 2.9f}, {101, 77, 1.0f, 2.2f},
               {64, 64, 1.0f, 0.5f},      {64, 64, 1.0f, 64.0f},  {600, 600, 0.8f, 1.0f}};
  for (const Case& c : cases) {
    std::vector<float> image(static_cast<size_t>(c.nx) * c.ny, 0.0f);
    plot_circle(image.data(), c.resolution, c.apix, c.nx, c.ny);
    const float r0 = c.nx * c.apix / c.resolution, width = (c.nx > 512 || c.ny > 512) ? 2.0f : 1.5f;
    int marked = 0;
    for (int y = 0; y < c.ny; ++y) {
      for (int x = 0; x < c.nx; ++x) {
        const int dx = x - c.nx / 2, dy = y - c.ny / 2;
        const float d = sqrtf(static_cast<float>(dx * dx + dy * dy));
        const bool on_ring = -width < d - r0 && d - r0 <= width;
        marked += on_ring;
        ASSERT_EQ(image[static_cast<size_t>(y) * c.nx + x] == 5.0f, on_ring)
            << c.nx << " x " << c.ny << " at resolution " << c.resolution << ", pixel " << x << ", " << y;
      }
    }
    if (r0 < c.nx / 2) {
      EXPECT_GT(marked, 0) << "a ring inside the image shows";
    }
  }
}

// Each half is scaled to its display mean and spread, also when its values sit far from zero.
TEST(DiagnosisImage, HalvesAreScaledToTheirDisplayMeanAndSpread) {
  const int B = 64, H = B / 2 + 1;
  const size_t n = static_cast<size_t>(H) * B;
  std::vector<float> sim(n), spectrum(n), image(static_cast<size_t>(B) * B);
  for (size_t i = 0; i < n; ++i) {
    sim[i] = 0.25f * static_cast<float>(i % 5);
    spectrum[i] = 1000.0f + 0.01f * static_cast<float>(i % 17);
  }
  const float apix = 1.2f, fit_resH = 3.5f;
  compose_diagnosis_image(image.data(), sim.data(), spectrum.data(), B, apix, fit_resH, 0.0f);
  const auto moments = [&](const std::vector<float>& v, double& mean, double& spread) {
    double sum = 0.0, squares = 0.0;
    for (float x : v) sum += x;
    mean = sum / v.size();
    for (float x : v) squares += (x - mean) * (x - mean);
    spread = std::sqrt(squares / v.size());
  };
  double mean = 0.0, spread = 0.0;
  moments(spectrum, mean, spread);
  EXPECT_NEAR(mean, 0.63661975, 1e-4);
  EXPECT_NEAR(spread, 1.0, 1e-3);
  moments(sim, mean, spread);
  EXPECT_NEAR(mean, 2.0 * std::sqrt(3.14159265358979 * fit_resH / (4.0 * apix)) / 3.14159265358979, 1e-5);
  EXPECT_NEAR(spread, std::sqrt(apix / fit_resH), 1e-5);
}

TEST(DiagnosisImage, WritesAScaledSquareImageWithCentreZeroAndFlatHalvesGuarded) {
  TempDir dir;
  const std::string micrograph = dir.file("x.mrcs");
  Args args({"--apix", "1.0", "--boxsize", "256", micrograph});
  QUIB_Para para = parsed(args);
  const int B = 256, H = B / 2 + 1;
  CTF_INFO ctf = ctf2d_default();
  ctf.set_PUVAC(0.0f, 15000.0f, 16000.0f, 20.0f, 0.5f);
  ctf.resolution = 4.0f;

  std::vector<float> constant(static_cast<size_t>(H) * B, 3.0f);  // no spread to scale
  const std::string name = dir.file("x.ctf");
  ASSERT_EQ(quib_write_ctfout(name.c_str(), constant.data(), ctf, diagnosis_settings(para)), 0);
  MrcHeadPtr head = get_mrcf_head(dir.file("x.ctf").c_str());
  ASSERT_TRUE(head);
  EXPECT_EQ(head->nx, B);
  EXPECT_EQ(head->ny, B);
  EXPECT_EQ(head->nz, 1);
  EXPECT_EQ(head->mode, 2);
  const HostBuffer<float> image = get_mrcf_data_all(dir.file("x.ctf").c_str());
  EXPECT_EQ(image.get()[B / 2 * B + B / 2], 0.0f);
  int ring = 0;
  for (int i = 0; i < B * B; ++i) {
    ASSERT_TRUE(std::isfinite(image.get()[i])) << i;
    ring += image.get()[i] == 5.0f;
  }
  EXPECT_GT(ring, 0);
  // The measured half of a flat spectrum is shown at its display mean, 2/pi.
  EXPECT_FLOAT_EQ(image.get()[10 * B + B - 1], 0.63661975f);
  float max = image.get()[0];
  for (int i = 0; i < B * B; ++i) max = std::max(max, image.get()[i]);
  EXPECT_EQ(head->dmax, max);

  para.plot_res_ring = 0;
  ASSERT_EQ(quib_write_ctfout(name.c_str(), constant.data(), ctf, diagnosis_settings(para)), 0);
  const HostBuffer<float> plain = get_mrcf_data_all(dir.file("x.ctf").c_str());
  for (int i = 0; i < B * B; ++i) EXPECT_NE(plain.get()[i], 5.0f);
}

TEST(DiagnosisImage, UnwritableFolderIsFatal) {
  Args args({"--apix", "1.0", "--boxsize", "256", "/no/such/folder/x.mrc"});
  QUIB_Para para = parsed(args);
  CTF_INFO ctf = ctf2d_default();
  ctf.resolution = 5.0f;
  std::vector<float> spectrum(129 * 256, 1.0f);
  EXPECT_EXIT_STDOUT(
      quib_write_ctfout("/no/such/folder/x.ctf", spectrum.data(), ctf, diagnosis_settings(para)), 1,
      "Cannot write to file /no/such/folder/x.ctf. Permission denied or no space left!\n"
      "Error in function quib_write_ctfout\\(\\), file ctf on line [0-9]+: open file failed.! Exit now!");
}

}  // namespace
