// Measured FFT plans through the whole program: the first run measures and keeps its plans, a
// later run reuses them without measuring and gives the same bits, and a wisdom file that cannot
// be written falls back to estimated plans.
#include <gtest/gtest.h>

#include <string>

#include "quib_runs.h"

namespace {

using quib_runs::kStarName;
using quib_runs::micrograph_params;
using quib_runs::run_quib;
using quib_runs::write_simulated;

const char kMeasuring[] = "Measuring the fastest FFT for ";

CommandResult run_with_wisdom(const TempDir& dir, const std::string& wisdom) {
  return run_quib(dir, "--apix 1 --boxsize 256 --seed 1 m.mrc", "QUIB_FFT_WISDOM='" + wisdom + "'");
}

TEST(FftWisdomRuns, TheFirstRunMeasuresAndLaterRunsReuseItsPlansBitForBit) {
  TempDir dir;
  write_simulated(dir.file("m.mrc"), micrograph_params(512, 1.0f, 15000, 14000, 30, 3));
  const std::string wisdom = dir.file("cache/quib/wisdom");

  const CommandResult first = run_with_wisdom(dir, wisdom);
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_NE(first.output.find(kMeasuring), std::string::npos) << first.output;
  const std::string kept = read_text_file(wisdom);
  EXPECT_NE(kept.find("fftw"), std::string::npos) << kept;
  const std::string first_star = read_text_file(dir.file(kStarName));

  const CommandResult second = run_with_wisdom(dir, wisdom);
  ASSERT_EQ(second.status, 0) << second.output;
  EXPECT_EQ(second.output.find(kMeasuring), std::string::npos) << second.output;
  EXPECT_EQ(read_text_file(dir.file(kStarName)), first_star);
  EXPECT_EQ(read_text_file(wisdom), kept);
}

TEST(FftWisdomRuns, AWisdomFileThatCannotBeWrittenFallsBackToEstimatedPlans) {
  TempDir dir;
  write_simulated(dir.file("m.mrc"), micrograph_params(512, 1.0f, 15000, 14000, 30, 3));
  const CommandResult estimated = run_with_wisdom(dir, "estimate");
  ASSERT_EQ(estimated.status, 0) << estimated.output;
  EXPECT_EQ(estimated.output.find(kMeasuring), std::string::npos) << estimated.output;
  const std::string estimated_star = read_text_file(dir.file(kStarName));

  write_text_file(dir, "plain_file", "not a folder");
  const CommandResult blocked = run_with_wisdom(dir, dir.file("plain_file/wisdom"));
  ASSERT_EQ(blocked.status, 0) << blocked.output;
  EXPECT_NE(blocked.output.find("Note: FFT plans are estimated, not measured: cannot write"), std::string::npos)
      << blocked.output;
  EXPECT_EQ(blocked.output.find(kMeasuring), std::string::npos) << blocked.output;
  EXPECT_EQ(read_text_file(dir.file(kStarName)), estimated_star);
}

}  // namespace
