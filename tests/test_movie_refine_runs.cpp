// Movie and stack refinement through the whole program, on simulated movies whose defocus drifts
// by a known amount per frame: the windows follow the drift, the fitted line finds its slope, a
// movie without drift gives a flat line; short stacks and single images say what they skip, and
// the run's STAR row stays the one of a run without the stage.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "quib_runs.h"

namespace {

using quib_runs::kStarName;
using quib_runs::micrograph_params;
using quib_runs::run_quib;
using quib_runs::star_rows;
using quib_runs::write_simulated;

constexpr int kFrames = 16;
constexpr double kU = 15000, kV = 14200;

const std::string kOptions = "--apix 1 --boxsize 512 --seed 1 --mdef_ave_type 1 ";

// The mean defocus of a line "U V angle [phase] CCC  STACK CTF Value n", or of a fitted-table
// line, with its number n; windows are told apart by their two blanks before "STACK".
struct StackLine {
  double mean;
  int number;
  bool window;
};

std::vector<StackLine> stack_lines(const std::string& output) {
  std::vector<StackLine> lines;
  for (const std::string& line : lines_of(output)) {
    const size_t at = line.find("STACK CTF Value ");
    if (at == std::string::npos) continue;
    std::istringstream words(line);
    double U, V;
    words >> U >> V;
    lines.push_back({(U + V) / 2, std::stoi(line.substr(at + 16)), line.compare(at - 2, 2, "  ") == 0});
  }
  return lines;
}

struct DriftRun {
  std::vector<StackLine> windows;  // mean defocus at each window's centre frame (0-based)
  std::vector<StackLine> fitted;   // the fitted line at each frame (1-based)
  double slope() const { return (fitted.back().mean - fitted.front().mean) / (fitted.size() - 1); }
};

DriftRun run_drifting_movie(float drift) {
  TempDir dir;
  SimParams p = micrograph_params(1024, 1.0f, kU, kV, 60, 31);
  p.nz = kFrames;
  p.dose = 160;
  p.drift = drift;
  write_simulated(dir.file("movie.mrcs"), p);
  const CommandResult r = run_quib(dir, kOptions + "--do_mdef_refine --mdef_aveN 3 --mdef_fit movie.mrcs");
  EXPECT_EQ(r.status, 0) << r.output;
  DriftRun run;
  for (const StackLine& line : stack_lines(read_text_file(dir.file("movie_quib.log"))))
    (line.window ? run.windows : run.fitted).push_back(line);
  EXPECT_EQ(run.windows.size(), kFrames - 2u) << r.output;
  EXPECT_EQ(run.fitted.size(), static_cast<size_t>(kFrames)) << r.output;
  return run;
}

// The RMS of the window values about their own mean (no drift), or about the truth shifted by
// the run's mean offset (drift): how far one window scatters.
double window_scatter(const std::vector<StackLine>& windows, float drift) {
  double offset = 0, squares = 0;
  for (const StackLine& w : windows) offset += w.mean - drift * w.number;
  offset /= windows.size();
  for (const StackLine& w : windows) squares += std::pow(w.mean - drift * w.number - offset, 2);
  return std::sqrt(squares / windows.size());
}

TEST(MovieRefineRuns, WindowsFollowTheDriftAndTheFittedLineFindsIt) {
  const DriftRun still = run_drifting_movie(0.0f);
  const DriftRun drifting = run_drifting_movie(30.0f);
  ASSERT_FALSE(still.windows.empty() || drifting.windows.empty() || still.fitted.empty() || drifting.fitted.empty());
  const double noise = window_scatter(still.windows, 0.0f);
  const double following = window_scatter(drifting.windows, 30.0f);
  double worst = 0;
  for (const StackLine& w : drifting.windows)
    worst = std::fmax(worst, std::fabs(w.mean - (kU + kV) / 2 - 30.0 * w.number));
  printf(
      "[ measured ] 16 frames, windows of 3: scatter of one window without drift %.1f A; with 30 A/frame about the "
      "truth %.1f A (largest error %.1f A); fitted slopes %.2f (no drift) and %.2f A/frame\n",
      noise, following, worst, still.slope(), drifting.slope());
  EXPECT_LT(following, 2.0 * noise + 5.0) << "the windows follow the drift as closely as one window's noise allows";
  EXPECT_LT(worst, 100.0);
  EXPECT_NEAR(drifting.slope(), 30.0, 6.0);
  EXPECT_LT(std::fabs(still.slope()), 6.0);
  EXPECT_EQ(drifting.windows.front().number, 1);
  EXPECT_EQ(drifting.fitted.front().number, 1);
  EXPECT_EQ(drifting.fitted.back().number, kFrames);
}

TEST(MovieRefineRuns, ShortStacksAndSingleImagesSayWhatTheySkipAndKeepTheirRow) {
  TempDir dir;
  SimParams p = micrograph_params(256, 1.0f, 12000, 12000, 0, 5);
  p.nz = 2;
  p.dose = 160;
  write_simulated(dir.file("pair.mrcs"), p);
  p.nz = 1;
  write_simulated(dir.file("single.mrc"), p);
  const std::string options = "--apix 1 --boxsize 128 --seed 1 ";

  const CommandResult plain = run_quib(dir, options + "pair.mrcs");
  const std::vector<quib_runs::StarRow> plain_rows = star_rows(dir.file(kStarName));
  const CommandResult one_window = run_quib(dir, options + "--do_mdef_refine --mdef_aveN 2 --mdef_fit pair.mrcs");
  EXPECT_EQ(one_window.status, 0) << one_window.output;
  EXPECT_NE(one_window.output.find("a straight line needs at least two windows, and the 2 frames give 1; no line is "
                                   "fitted"),
            std::string::npos)
      << one_window.output;
  EXPECT_EQ(one_window.output.find("nan"), std::string::npos) << one_window.output;
  EXPECT_EQ(count_occurrences(one_window.output, "STACK CTF Value 1\n"), 1) << one_window.output;
  const std::vector<quib_runs::StarRow> rows = star_rows(dir.file(kStarName));
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(plain_rows.size(), 1u);
  EXPECT_EQ(rows[0].line, plain_rows[0].line) << "the stage leaves the micrograph's own result alone";

  const CommandResult no_window = run_quib(dir, options + "--do_mdef_refine --mdef_aveN 3 pair.mrcs");
  EXPECT_EQ(no_window.status, 0) << no_window.output;
  EXPECT_NE(no_window.output.find("a window of 3 frames is longer than the 2 frames of the stack"), std::string::npos)
      << no_window.output;
  EXPECT_EQ(count_occurrences(no_window.output, "STACK CTF Value"), 0);

  const CommandResult single = run_quib(dir, options + "--do_mdef_refine single.mrc");
  EXPECT_EQ(single.status, 0) << single.output;
  EXPECT_NE(single.output.find("single.mrc is a single image; movie and stack refinement needs frames and is skipped"),
            std::string::npos)
      << single.output;
  EXPECT_EQ(star_rows(dir.file(kStarName)).size(), 1u);
  EXPECT_EQ(plain.output.find("not available"), std::string::npos);
}

}  // namespace
