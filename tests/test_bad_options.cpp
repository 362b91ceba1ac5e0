// The whole program on bad or unusual command lines: values no stage can use stop the run before
// any result is written, a switch leaves a following file name alone, and an odd box gives the
// result of the even box below it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "quib_runs.h"

namespace {

using quib_runs::kStarName;
using quib_runs::run_quib;
using quib_runs::shows_crash;
using quib_runs::star_rows;
using quib_runs::StarRow;

const std::string kOptions = "--apix 1.5 --boxsize 128 --seed 1 ";

void write_micrograph(const TempDir& dir, const std::string& name, int size) {
  quib_runs::write_simulated(dir.file(name), quib_runs::micrograph_params(size, 1.5f, 15000, 15000, 0, 3));
}

TEST(BadOptions, UnusableValuesStopTheRunBeforeAnyRow) {
  const struct {
    const char* options;
    const char* message;
  } cases[] = {
      {"--apix -1", "Invalid --apix -1: the pixel size must be larger than 0.01 and at most 100 Angstrom"},
      {"--kV 5", "Invalid --kV 5: the acceleration voltage must be 10 to 500 kV"},
      {"--cs -1", "Invalid --cs -1: the spherical aberration must be at least 0 and below 100 mm"},
      {"--ac 2", "Invalid --ac 2: the amplitude contrast must be 0 to 1"},
      {"--dstep 0", "Invalid --dstep 0: the detector pixel size must be larger than 0.1"},
      {"--resL 10 --resH 10", "Invalid fitting band --resL 10 --resH 10: it is empty"},
      {"--resL 2.5 --resH 2", "Invalid fitting band --resL 2.5 --resH 2: it lies wholly beyond Nyquist, 3 Angstrom"},
      {"--EPA_oversmp 0", "Invalid --EPA_oversmp 0: the oversampling of the equiphase average must be 1 to 16"},
      {"--EPA_oversmp 100", "Invalid --EPA_oversmp 100: the oversampling of the equiphase average must be 1 to 16"},
      {"--no_such_option", "Failed to recognize option: --no_such_option! Exit now."},
  };
  TempDir dir;
  write_micrograph(dir, "good.mrc", 256);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    unlink(dir.file(kStarName).c_str());
    const CommandResult r = run_quib(dir, kOptions + c.options + " good.mrc");
    EXPECT_FALSE(shows_crash(r)) << r.output;
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_EQ(count_occurrences(r.output, "Processing done successfully."), 0);
    EXPECT_TRUE(star_rows(dir.file(kStarName)).empty());
  }
}

TEST(BadOptions, SwitchBeforeAPathLeavesThePathAMicrograph) {
  TempDir dir;
  write_micrograph(dir, "a.mrc", 256);
  write_micrograph(dir, "b.mrc", 256);
  const CommandResult r = run_quib(dir, kOptions + "--do_EPA ./a.mrc b.mrc");
  EXPECT_FALSE(shows_crash(r)) << r.output;
  EXPECT_EQ(r.status, 0) << r.output;
  const std::vector<StarRow> rows = star_rows(dir.file(kStarName));
  ASSERT_EQ(rows.size(), 2u) << r.output;
  EXPECT_EQ(rows[0].micrograph, "./a.mrc");
  EXPECT_EQ(rows[1].micrograph, "b.mrc");
  EXPECT_NE(read_text_file(dir.file("a_quib.log")).find("\n        --do_EPA             1\n"), std::string::npos);
}

// An odd box, given or left by the clamp to an odd micrograph side, is the even box one smaller:
// the same defocus, angle, figure of merit and resolution to the last digit.
TEST(BadOptions, OddBoxGivesTheResultOfTheEvenBoxBelow) {
  TempDir dir;
  write_micrograph(dir, "odd_side.mrc", 255);
  const std::string options = "--apix 1.5 --seed 1 ";
  const struct {
    const char* box;
    const char* message;
  } runs[] = {
      {"--boxsize 254 --convsize 21", ""},
      {"--boxsize 255 --convsize 21", "Warning: --boxsize 255 is odd; the even size 254 is used instead.\n"},
      {"--boxsize 1024",
       "Warning: --boxsize 1024 is larger than the micrograph's shorter side of 255 pixels; the largest even box that "
       "fits, 254 pixels, is used, with --convsize 21.\n"},
  };
  std::vector<double> even_box_values;
  for (const auto& run : runs) {
    SCOPED_TRACE(run.box);
    const CommandResult r = run_quib(dir, options + run.box + " odd_side.mrc");
    EXPECT_FALSE(shows_crash(r)) << r.output;
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(run.message), std::string::npos);
    const std::vector<StarRow> rows = star_rows(dir.file(kStarName));
    ASSERT_EQ(rows.size(), 1u);
    if (even_box_values.empty()) even_box_values = rows[0].values;
    EXPECT_EQ(rows[0].values, even_box_values);
  }
}

}  // namespace
