// quib_filter as a program: a binned and low-passed file with a known answer, its float header,
// and the files and settings it refuses.
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

}  // namespace

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
