// quib_filter as a program: a binned and low-passed file with a known answer, its float header,
// resampled and window-spread images with known answers, particles cut out and pasted back, and
// the files and settings it refuses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "io/mrc_read.h"
#include "mrc_test_files.h"
#include "test_util.h"

namespace {

const std::string kFilter = std::string(QUIB_BINARY_DIR) + "/quib_filter";
const double kPi = std::acos(-1.0);

CommandResult run_filter(const std::string& arguments) { return run_command("'" + kFilter + "' " + arguments); }

// A 64 x 64 signed 16-bit image of 2 A pixels: a level of 1000, a slow wave of 6 periods across
// the image along x and a fast one of 40 periods.
void write_two_waves(const std::string& path) {
  const int n = 64;
  MRC_HEAD head = mrc_test_head(n, n, 1, MRC_MODE_SHORT);
  head.mx = head.my = head.mz = n;
  head.xlen = head.ylen = head.zlen = n * 2.0f;
  std::vector<int16_t> values(n * n);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      values[y * n + x] = static_cast<int16_t>(
          std::lround(1000 + 100 * std::cos(2 * kPi * 6 * x / n) + 100 * std::cos(2 * kPi * 40 * x / n)));
  write_test_mrc(path, head, mrc_test_elements(values));
}

// A float file of nz sections of nx x ny pixels of 2 A with the values value(x, y, z).
template <class Value>
void write_float_file(const std::string& path, int nx, int ny, int nz, Value value) {
  MRC_HEAD head = mrc_test_head(nx, ny, nz, MRC_MODE_FLOAT);
  head.mx = nx;
  head.my = ny;
  head.mz = nz;
  head.xlen = nx * 2.0f;
  head.ylen = ny * 2.0f;
  head.zlen = nz * 2.0f;
  std::vector<float> values;
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) values.push_back(value(x, y, z));
  write_test_mrc(path, head, mrc_test_elements(values));
}

float ramp(int x, int y, int) { return 10.0f + x + 2.0f * y; }

float wavy(int x, int y, int z) {
  return float(50 + 10 * std::sin(0.37 * (x + 3 * y)) + 4 * std::cos(0.9 * y * x) + z);
}

// Runs quib_filter, expects success, and returns the output's header and values.
std::vector<float> filtered(const TempDir& dir, const std::string& arguments, MRC_HEAD& head) {
  const CommandResult r = run_filter(arguments + " " + dir.file("out.mrc"));
  EXPECT_EQ(r.status, 0) << arguments << "\n" << r.output;
  EXPECT_EQ(mrcf_read_head(dir.file("out.mrc").c_str(), &head), 0);
  const HostBuffer<float> out = get_mrcf_data_all(dir.file("out.mrc").c_str());
  return std::vector<float>(out.get(), out.get() + size_t(head.nx) * head.ny * head.nz);
}

}  // namespace

TEST(QuibFilterRuns, ScalingRotationTransformAndWindowSpreadGiveKnownImages) {
  TempDir dir;
  write_float_file(dir.file("ramp.mrc"), 8, 6, 1, ramp);
  const std::string ramp_file = dir.file("ramp.mrc");
  MRC_HEAD head;

  // Bilinear resampling is exact on a ramp: twice the size samples it at half steps about the centre.
  std::vector<float> out = filtered(dir, "--scale 2 " + ramp_file, head);
  ASSERT_EQ(head.nx, 16);
  ASSERT_EQ(head.ny, 12);
  EXPECT_FLOAT_EQ(head.xlen / head.mx, 1.0f);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) {
      const double u = 3.5 + (x - 7.5) / 2, v = 2.5 + (y - 5.5) / 2;
      const double want = u >= 0 && u <= 7 && v >= 0 && v <= 5 ? 10 + u + 2 * v : 0;
      EXPECT_NEAR(out[y * 16 + x], want, 1e-4) << x << "," << y;
    }

  // The forward motion by (2, -1): each value moves to x + 2, y - 1; pixels left uncovered are 0.
  out = filtered(dir, "--transform 1,0,0,1,2,-1 " + ramp_file, head);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(out[y * 8 + x], x >= 2 && y <= 4 ? ramp(x - 2, y + 1, 0) : 0.0f) << x << "," << y;

  // A 3 x 3 window spans 2 x 2 pixels (one before, the pixel itself): sqrt(1.25) inside, 1 along the
  // first column (a step of 2 between its rows), 0.5 along the first row, 0 at the corner.
  out = filtered(dir, "--box_std 3 " + ramp_file, head);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      const double want = x > 0 && y > 0 ? std::sqrt(1.25) : x > 0 ? 0.5 : y > 0 ? 1.0 : 0.0;
      EXPECT_NEAR(out[y * 8 + x], want, 1e-5) << x << "," << y;
    }

  write_float_file(dir.file("square.mrc"), 7, 7, 2, wavy);
  out = filtered(dir, "--rotate 90 " + dir.file("square.mrc"), head);
  ASSERT_EQ(head.nz, 2);
  for (int z = 0; z < 2; ++z)
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(out[(z * 7 + y) * 7 + x], wavy(6 - y, x, z)) << x << "," << y;
}

TEST(QuibFilterRuns, ParticlesCutOutAndPastedBackGiveTheMicrographAgain) {
  TempDir dir;
  write_float_file(dir.file("mic.mrc"), 24, 20, 1, wavy);
  // The last box reaches past the right edge; the second overlaps the first.
  const std::string boxes = write_text_file(dir, "p.box", "2 3 8 8\n6 5 8 8\n20 10 8 8\n");
  MRC_HEAD head;
  const std::vector<float> stack = filtered(dir, "--extract " + boxes + " " + dir.file("mic.mrc"), head);
  ASSERT_EQ(head.nx, 8);
  ASSERT_EQ(head.ny, 8);
  ASSERT_EQ(head.nz, 3);
  EXPECT_FLOAT_EQ(head.xlen / head.mx, 2.0f);
  const int corners[3][2] = {{2, 3}, {6, 5}, {20, 10}};
  for (int b = 0; b < 3; ++b)
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        const int gx = corners[b][0] + x, gy = corners[b][1] + y;
        ASSERT_EQ(stack[(b * 8 + y) * 8 + x], gx < 24 ? wavy(gx, gy, 0) : 0.0f) << b << ": " << x << "," << y;
      }

  ASSERT_EQ(rename(dir.file("out.mrc").c_str(), dir.file("stack.mrc").c_str()), 0);
  const std::vector<float> pasted =
      filtered(dir, "--paste " + dir.file("stack.mrc") + " --boxes " + boxes + " " + dir.file("mic.mrc"), head);
  ASSERT_EQ(head.nx, 24);
  ASSERT_EQ(head.nz, 1);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 24; ++x) ASSERT_EQ(pasted[y * 24 + x], wavy(x, y, 0)) << x << "," << y;

  // Every section gives its particles, section by section.
  write_float_file(dir.file("movie.mrc"), 24, 20, 2, wavy);
  const std::vector<float> frames = filtered(dir, "--extract " + boxes + " " + dir.file("movie.mrc"), head);
  ASSERT_EQ(head.nz, 6);
  EXPECT_EQ(frames[3 * 64], wavy(2, 3, 1));
}

TEST(QuibFilterRuns, RefusesUnusableResamplingWindowsAndParticleFiles) {
  TempDir dir;
  write_float_file(dir.file("mic.mrc"), 24, 20, 1, wavy);
  write_float_file(dir.file("two.mrc"), 8, 8, 2, wavy);
  write_float_file(dir.file("flat.mrc"), 8, 8, 1, [](int, int, int) { return 3.0f; });
  const std::string in = dir.file("mic.mrc"), out = dir.file("out.mrc");
  const std::string box = write_text_file(dir, "p.box", "2 3 8 8\n");
  const std::string two_boxes = write_text_file(dir, "two.box", "2 3 8 8\n9 9 8 8\n");
  const std::string star =
      write_text_file(dir, "p.star", "data_\nloop_\n_rlnCoordinateX #1\n_rlnCoordinateY #2\n5 6\n");
  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case cases[] = {
      {"--scale 0", "--scale needs a value above 0"},
      {"--scale 1e-50", "--scale needs a value above 0"},
      {"--scale 0.01", "less than 1 pixel"},
      {"--transform 1,2,2,4,0,0", "singular"},
      {"--transform 1,0,0,1,2", "six numbers"},
      {"--box_std 0", "--box_std needs a value above 0"},
      {"--bin 2 --box_std 11", "must not exceed the image size"},
      {"--paste " + dir.file("two.mrc"), "--paste and --boxes go together"},
      {"--extract " + box + " --lowpass 20", "do not filter"},
      {"--extract " + box + " --paste " + dir.file("two.mrc") + " --boxes " + box, "not both"},
      {"--extract " + star, "have no size"},
      {"--paste " + dir.file("two.mrc") + " --boxes " + box, "holds 2 image(s) of 8 x 8 pixels"},
      {"--paste " + dir.file("flat.mrc") + " --boxes " + box, "reference image 1 (box at x 2, y 3)"},
      {"--paste " + dir.file("mic.mrc") + " --boxes " + two_boxes, "holds 1 image(s) of 24 x 20"},
  };
  for (const Case& c : cases) {
    const CommandResult r = run_filter(c.arguments + " " + in + " " + out);
    EXPECT_EQ(r.status, 1) << c.arguments << "\n" << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << c.arguments << "\n" << r.output;
  }
  EXPECT_NE(access(out.c_str(), F_OK), 0);
  const CommandResult section =
      run_filter("--paste " + dir.file("flat.mrc") + " --boxes " + box + " " + dir.file("two.mrc") + " " + out);
  EXPECT_EQ(section.status, 1);
  EXPECT_NE(section.output.find("one section"), std::string::npos) << section.output;
}

TEST(QuibFilterRuns, BinningAndLowPassKeepTheSlowWaveOnly) {
  TempDir dir;
  write_two_waves(dir.file("in.mrc"));
  const CommandResult r = run_filter("--bin 2 --lowpass 20 " + dir.file("in.mrc") + " " + dir.file("out.mrc"));
  ASSERT_EQ(r.status, 0) << r.output;

  MRC_HEAD head;
  ASSERT_EQ(mrcf_read_head(dir.file("out.mrc").c_str(), &head), 0);
  EXPECT_EQ(head.mode, MRC_MODE_FLOAT);
  EXPECT_EQ(head.nx, 32);
  EXPECT_EQ(head.ny, 32);
  EXPECT_EQ(head.nz, 1);
  EXPECT_FLOAT_EQ(head.xlen / head.mx, 4.0f);
  const HostBuffer<float> out = get_mrcf_data_all(dir.file("out.mrc").c_str());

  // Pairs average the slow wave to cos(pi 6/64) of its height, sampled half a pixel in; the
  // fast wave lies beyond 20 A (radius 6.4 of the binned transform) and is gone.
  double lo = 1e30, hi = -1e30;
  for (int y = 0; y < 32; ++y)
    for (int X = 0; X < 32; ++X) {
      const double want = 1000 + 100 * std::cos(kPi * 6 / 64) * std::cos(2 * kPi * 6 * (2 * X + 0.5) / 64);
      const float got = out.get()[y * 32 + X];
      ASSERT_NEAR(got, want, 0.5) << X << "," << y;
      lo = std::fmin(lo, got);
      hi = std::fmax(hi, got);
    }
  EXPECT_NEAR(head.dmin, lo, 1e-3);
  EXPECT_NEAR(head.dmax, hi, 1e-3);
}

TEST(QuibFilterRuns, RefusesItsInputAsOutputRectanglesForBandPassesAndUnusableValues) {
  TempDir dir;
  write_two_waves(dir.file("in.mrc"));
  const std::string in = dir.file("in.mrc");
  const std::string out = dir.file("out.mrc");
  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case cases[] = {
      {"--lowpass 20 " + in + " " + dir.path() + "/./in.mrc", "must not be the input"},
      {"--bin 0 " + in + " " + out, "--bin needs a value above 0"},
      {"--bin 100 " + in + " " + out, "must not exceed the image size"},
      {"--lowpass -4 " + in + " " + out, "--lowpass needs a value above 0"},
      {"--edge gauss --lowpass 8 " + in + " " + out, "needs both resolutions"},
      {"--edge fuzzy --lowpass 8 " + in + " " + out, "sharp, soft or gauss"},
      {"--lowpass 8 " + in, "one input and one output"},
      {"--blur 3 " + in + " " + out, "unknown option"},
  };
  for (const Case& c : cases) {
    const CommandResult r = run_filter(c.arguments);
    EXPECT_EQ(r.status, 1) << c.arguments << "\n" << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << c.arguments << "\n" << r.output;
  }
  EXPECT_NE(access(out.c_str(), F_OK), 0);

  MRC_HEAD head = mrc_test_head(64, 48, 1, MRC_MODE_FLOAT);
  write_test_mrc(dir.file("rect.mrc"), head, mrc_test_elements(std::vector<float>(64 * 48, 1.0f)));
  const CommandResult rect = run_filter("--apix 1 --lowpass 8 " + dir.file("rect.mrc") + " " + out);
  EXPECT_EQ(rect.status, 1);
  EXPECT_NE(rect.output.find("Must be square"), std::string::npos) << rect.output;
  const CommandResult binned = run_filter("--bin 3 " + dir.file("rect.mrc") + " " + out);
  EXPECT_EQ(binned.status, 0) << binned.output;
}
