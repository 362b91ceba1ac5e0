// Runs over several micrographs: one progress line per micrograph with its result or why it was
// skipped and the pace of the run; with --quiet standard output holds only those lines, warnings
// and the summary, while every log keeps its full text.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "quib_runs.h"

namespace {

using quib_runs::run_quib;

TEST(ProgressRuns, QuietRunsShowOneLinePerMicrographWarningsAndTheSummary) {
  TempDir dir;
  quib_runs::write_simulated(dir.file("a.mrc"), quib_runs::micrograph_params(512, 1.0f, 15000, 14000, 30, 3));
  quib_runs::write_simulated(dir.file("b.mrc"), quib_runs::micrograph_params(512, 1.0f, 21000, 20500, 60, 4));
  const std::string options = "--apix 1 --boxsize 256 --seed 1 a.mrc missing.mrc b.mrc";

  const CommandResult verbose = run_quib(dir, options);
  ASSERT_EQ(verbose.status, 2) << verbose.output;
  const CommandResult quiet = run_quib(dir, "--quiet 1 " + options);
  ASSERT_EQ(quiet.status, 2) << quiet.output;

  const std::regex done(R"(\[(\d)/3\] (\w+\.mrc): U ([0-9.]+) V ([0-9.]+) A -?[0-9.]+ res [0-9.]+ A \([0-9.]+ s\) )"
                        R"(- [0-9.]+/min, ETA \d+:\d\d:\d\d)");
  const std::regex skipped(R"(\[2/3\] missing\.mrc: skipped \(it does not exist\) \([0-9.]+ s\) - .*)");
  const std::vector<quib_runs::StarRow> rows = quib_runs::star_rows(dir.file(quib_runs::kStarName));
  ASSERT_EQ(rows.size(), 2u);
  for (const CommandResult* run : {&verbose, &quiet}) {
    int progress = 0;
    for (const std::string& line : lines_of(run->output)) {
      std::smatch m;
      if (std::regex_match(line, m, done)) {
        ++progress;
        const quib_runs::StarRow& row = rows[m[2] == "a.mrc" ? 0 : 1];
        EXPECT_EQ(m[1], m[2] == "a.mrc" ? "1" : "3");
        EXPECT_NEAR(std::stod(m[3]), row.values[0], 0.05) << line;
        EXPECT_NEAR(std::stod(m[4]), row.values[1], 0.05) << line;
      } else if (std::regex_match(line, skipped)) {
        ++progress;
      }
    }
    EXPECT_EQ(progress, 3) << run->output;
  }

  // Quiet: after the banner, nothing but progress, the warning and skip, and the summary.
  const std::string after_banner = quiet.output.substr(quiet.output.rfind("****\n") + 5);
  for (const std::string& line : lines_of(after_banner)) {
    if (line.empty()) continue;
    const bool expected = line[0] == '[' || line.find("Warning") != std::string::npos ||
                          line.find("Skipped missing.mrc") != std::string::npos ||
                          line.find("files finished successfully") != std::string::npos ||
                          line.find("  missing.mrc: it does not exist") == 0 || line.find("TOTAL") != std::string::npos;
    EXPECT_TRUE(expected) << "unexpected line in a quiet run: " << line;
  }
  EXPECT_EQ(quiet.output.find("Processing file"), std::string::npos);
  EXPECT_NE(verbose.output.find("Processing file"), std::string::npos);
  // The logs keep everything.
  EXPECT_NE(read_text_file(dir.file("b_quib.log")).find("Processing done successfully."), std::string::npos);
}

TEST(ProgressRuns, AQuietRunStillShowsTheErrorThatEndsItAndWhy) {
  TempDir dir;
  write_text_file(dir, "a.ctf", "an input");
  const CommandResult r = run_quib(dir, "--quiet 1 --apix 1 a.mrc a.ctf");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("The diagnosis image a.ctf would overwrite the input file a.ctf. Rename the input file.\n"
                          "Error in function"),
            std::string::npos)
      << r.output;
}

}  // namespace
