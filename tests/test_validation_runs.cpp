// Validation through the whole program, on simulated micrographs with a known CTF: strong rings
// grade top in every band they reach, rings that fade by 8-10 A grade the highest band down while
// the lowest stays good, and the pixel size decides how many bands are walked. Validation
// changes nothing else: the STAR row stays the one of a run without it.
#include <gtest/gtest.h>

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

// One band's line of the log: "  LL-HHA  dU  dV  dA  CCC     VALIDATION_SCORE: n".
struct BandGrade {
  std::string band;
  double dU, dV;
  int score;
};

std::vector<BandGrade> band_grades(const std::string& log) {
  std::vector<BandGrade> grades;
  for (const std::string& line : lines_of(log)) {
    const size_t at = line.find("VALIDATION_SCORE: ");
    if (at == std::string::npos) continue;
    std::istringstream words(line);
    BandGrade g;
    double angle, ccc;
    words >> g.band >> g.dU >> g.dV >> angle >> ccc;
    g.score = std::stoi(line.substr(at + 18));
    grades.push_back(g);
  }
  return grades;
}

struct ValidationRun {
  CommandResult result;
  std::string log;
  std::vector<BandGrade> grades;
};

ValidationRun validate(const TempDir& dir, const SimParams& p, const std::string& options) {
  write_simulated(dir.file("mic.mrc"), p);
  ValidationRun run;
  run.result = run_quib(dir, options + "--do_validation mic.mrc");
  run.log = read_text_file(dir.file("mic_quib.log"));
  run.grades = band_grades(run.log);
  for (const BandGrade& g : run.grades)
    printf("[ measured ] B-factor %.0f: band %s dU %.1f dV %.1f grade %d\n", p.bfac, g.band.c_str(), g.dU, g.dV,
           g.score);
  return run;
}

const char kNoRings[] = "no Thon rings of the fit above the noise";

const std::string kOptions = "--apix 1 --boxsize 512 --seed 1 ";

TEST(ValidationRuns, StrongRingsGradeTopInEveryBandAndLeaveTheStarRowAlone) {
  TempDir dir;
  SimParams p = micrograph_params(1024, 1.0f, 15000, 14000, 30, 7);
  p.bfac = 40;
  const ValidationRun run = validate(dir, p, kOptions);
  ASSERT_EQ(run.result.status, 0) << run.result.output;
  const std::vector<quib_runs::StarRow> validated = star_rows(dir.file(kStarName));
  const std::vector<std::string> bands = {"20-08A", "15-06A", "12-05A", "10-04A", "08-03A"};
  ASSERT_EQ(run.grades.size(), bands.size()) << run.log;
  for (size_t k = 0; k < bands.size(); ++k) {
    EXPECT_EQ(run.grades[k].band, bands[k]);
    EXPECT_EQ(run.grades[k].score, 5) << run.log;
  }
  EXPECT_NE(run.result.output.find("VALIDATION"), std::string::npos);
  EXPECT_EQ(count_occurrences(run.log, kNoRings), 0) << run.log;
  EXPECT_EQ(run.result.output.find("not available"), std::string::npos) << run.result.output;

  const CommandResult plain = run_quib(dir, kOptions + "mic.mrc");
  ASSERT_EQ(plain.status, 0) << plain.output;
  const std::vector<quib_runs::StarRow> rows = star_rows(dir.file(kStarName));
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(validated.size(), 1u);
  EXPECT_EQ(validated[0].line, rows[0].line);
}

// With B = 600 the rings fade by 8-10 A: the lowest band still grades good, and the three bands
// from 12-5 A up hold noise only, so they grade BAD or WRONG and say why. The 15-6 A band holds
// the last faint rings and may go either way.
TEST(ValidationRuns, RingsFadingBy9AGradeTheHighBandsDownAndTheLowestGood) {
  TempDir dir;
  SimParams p = micrograph_params(1024, 1.0f, 15000, 14000, 30, 7);
  p.bfac = 600;
  const ValidationRun run = validate(dir, p, kOptions);
  ASSERT_EQ(run.result.status, 0) << run.result.output;
  ASSERT_EQ(run.grades.size(), 5u) << run.log;
  EXPECT_GE(run.grades.front().score, 4) << run.log;
  for (size_t k = 2; k < run.grades.size(); ++k) EXPECT_LE(run.grades[k].score, 2) << run.grades[k].band;
  EXPECT_GE(count_occurrences(run.log, kNoRings), 3) << run.log;
}

TEST(ValidationRuns, BandsStopAtNyquist) {
  TempDir dir;
  SimParams p = micrograph_params(512, 1.6f, 15000, 14000, 30, 7);
  const ValidationRun coarse = validate(dir, p, "--apix 1.6 --boxsize 256 --seed 1 ");
  ASSERT_EQ(coarse.result.status, 0) << coarse.result.output;
  EXPECT_EQ(coarse.grades.size(), 4u) << coarse.log;
  p.apix = 4.0f;
  const ValidationRun none = validate(dir, p, "--apix 4 --boxsize 256 --seed 1 ");
  ASSERT_EQ(none.result.status, 0) << none.result.output;
  EXPECT_TRUE(none.grades.empty()) << none.log;
  EXPECT_NE(none.log.find("Differences from Original Values:"), std::string::npos) << none.log;
}

}  // namespace
