// The files of a whole run, line by line: the CTF STAR file with and without the phase-shift
// column, a micrograph's log (parameter section, RELION block, 1D search, refinements, resolution
// limit, completion line) and its EPA file; and RELION reading the STAR file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "golden_log.h"
#include "quib_runs.h"

namespace {

using quib_runs::kStarName;
using quib_runs::StarRow;

// Both runs process a.mrc and sub/b.mrcs: 512 pixels square, 1.4 A pixels, 200 kV, amplitude
// contrast 0.07; quib reads them with a 256 box.
const std::string kOptions = "--apix 1.4 --kV 200 --ac 0.07 --resH 5 --boxsize 256 --seed 1";
const std::string kPhaseOptions = " --phase_shift_L 0 --phase_shift_H 90 --phase_shift_S 30";

void write_micrograph(const std::string& path, float defU, float defV, float angle, uint64_t seed) {
  SimParams p = quib_runs::micrograph_params(512, 1.4f, defU, defV, angle, seed);
  p.kV = 200;
  p.ac = 0.07f;
  quib_runs::write_simulated(path, p);
}

// One run without and one with the phase search, each in its own folder.
class E2eOutputs : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    for (const char* run : {"plain", "phase"}) {
      const std::string folder = dir_->file(run);
      ASSERT_EQ(system(("mkdir -p '" + folder + "/sub'").c_str()), 0);
      write_micrograph(folder + "/a.mrc", 12000, 11000, 30, 5);
      write_micrograph(folder + "/sub/b.mrcs", 16000, 16500, 120, 6);
    }
    plain_ = run_in("plain", kOptions);
    phase_ = run_in("phase", kOptions + kPhaseOptions);
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static CommandResult run_in(const char* run, const std::string& options) {
    return run_command("cd '" + dir_->file(run) + "' && '" + quib_runs::kQuib + "' " + options + " a.mrc sub/b.mrcs");
  }
  static std::string path(const char* run, const std::string& name) { return dir_->file(run) + "/" + name; }

  static std::unique_ptr<TempDir> dir_;
  static CommandResult plain_, phase_;
};
std::unique_ptr<TempDir> E2eOutputs::dir_;
CommandResult E2eOutputs::plain_, E2eOutputs::phase_;

std::string printed(const char* format, double a = 0, double b = 0, double c = 0, double d = 0, double e = 0) {
  char text[512];
  snprintf(text, sizeof text, format, a, b, c, d, e);
  return text;
}

// The line as `format` prints the (up to five) numbers it starts with; equal to the line when the
// line has exactly that layout.
std::string reprinted(const char* format, const std::string& line) {
  double v[5] = {0, 0, 0, 0, 0};
  sscanf(line.c_str(), "%lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4]);
  return printed(format, v[0], v[1], v[2], v[3], v[4]);
}

// A STAR row as quib writes it: the two names, then every number as " %12.6f".
std::string star_row_text(const StarRow& row) {
  std::string text = row.micrograph + " " + row.ctf_image;
  for (double v : row.values) text += printed(" %12.6f", v);
  return text;
}

std::vector<std::string> star_header(bool with_phase_shift) {
  std::vector<std::string> lines = {"",
                                    "data_",
                                    "",
                                    "loop_",
                                    "_rlnMicrographName #1",
                                    "_rlnCtfImage #2",
                                    "_rlnDefocusU #3",
                                    "_rlnDefocusV #4",
                                    "_rlnDefocusAngle #5",
                                    "_rlnVoltage #6",
                                    "_rlnSphericalAberration #7",
                                    "_rlnAmplitudeContrast #8",
                                    "_rlnMagnification #9",
                                    "_rlnDetectorPixelSize #10",
                                    "_rlnCtfFigureOfMerit #11"};
  if (with_phase_shift) {
    lines.push_back("_rlnCtfMaxResolution #12");
    lines.push_back("_rlnPhaseShift #13");
  } else {
    lines.push_back("_rlnFinalResolution #12");
  }
  return lines;
}

void expect_star_file(const std::string& star, bool with_phase_shift) {
  const std::string text = read_text_file(star);
  const std::vector<std::string> header = star_header(with_phase_shift);
  const std::vector<std::string> lines = lines_of(text);
  ASSERT_EQ(lines.size(), header.size() + 3) << text;
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + header.size()), header);
  EXPECT_EQ(lines.back(), "") << "the run ends the file with an empty line";
  EXPECT_EQ(text.substr(text.size() - 2), "\n\n");

  const std::vector<StarRow> rows = quib_runs::star_rows(star);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].micrograph + " " + rows[0].ctf_image, "a.mrc a.ctf:mrc");
  EXPECT_EQ(rows[1].micrograph + " " + rows[1].ctf_image, "sub/b.mrcs sub/b.ctf:mrc");
  for (const StarRow& row : rows) {
    ASSERT_EQ(row.values.size(), with_phase_shift ? 11u : 10u) << row.line;
    EXPECT_EQ(row.line, star_row_text(row));
    // kV, Cs, amplitude contrast, magnification 14 um * 10000 / 1.4 A, detector pixel size
    const double optics[] = {200.0, 2.7, 0.07, 100000.0, 14.0};
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(row.values[3 + k], optics[k], 1e-6) << row.line;
  }
}

TEST_F(E2eOutputs, StarFileWithAndWithoutThePhaseShiftColumn) {
  ASSERT_EQ(plain_.status, 0) << plain_.output;
  ASSERT_EQ(phase_.status, 0) << phase_.output;
  expect_star_file(path("plain", kStarName), false);
  expect_star_file(path("phase", kStarName), true);
}

// The parameter section and RELION block of the plain run's logs.
std::vector<std::string> log_header() {
  std::vector<std::string> lines = golden_log::parameter_section({{"apix", "1.400"},
                                                                  {"kv", "200.00"},
                                                                  {"ac", "0.07"},
                                                                  {"resH", "5.00"},
                                                                  {"boxsize", "256"},
                                                                  {"convsize", "42"},
                                                                  {"local_radius", "512.00"},
                                                                  {"ctfout_resH", "2.90"}});
  for (const std::string& line : golden_log::relion_block(
           "  2.7    200.0    0.07  100000.0   14.000", " 256       50.0        5.0   10000.0   70000.0  500.0    0.0"))
    lines.push_back(line);
  return lines;
}

using golden_log::kLastCycle;
using golden_log::kRefineBanner;
using golden_log::kSearchBanner;

// Reads a log line after line, with what each part of it must be.
class LogReader {
 public:
  explicit LogReader(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  std::string next() { return at_ < lines_.size() ? lines_[at_++] : "<end of log>"; }
  bool done() const { return at_ == lines_.size(); }

  // The candidates of one 1D search, numbered from 0, at defocus low + k * step.
  void expect_search(double low, double step, int count) {
    for (int k = 0; k < count; ++k) {
      const std::string line = next();
      int index = -1;
      double defocus = 0, score = 0;
      ASSERT_EQ(sscanf(line.c_str(), "%d %lf %lf", &index, &defocus, &score), 3) << line;
      EXPECT_EQ(index, k);
      char expected[96];
      snprintf(expected, sizeof expected, "%8d %10.3f %10.6f", k, low + k * step, score);
      EXPECT_EQ(line, expected);
    }
  }

  // One 2D refinement from its banner to its final values; returns the final values line.
  std::string expect_refinement(bool phase_refined) {
    EXPECT_EQ(next(), kRefineBanner);
    EXPECT_EQ(next(), golden_log::kRefineColumns);
    int cycle = 0;
    for (std::string line = next(); line != kLastCycle; line = next()) {
      char cycle_line[32];
      snprintf(cycle_line, sizeof cycle_line, "Cycle: %02d", cycle);
      if (line == cycle_line) {
        ++cycle;
        continue;
      }
      const bool angle_or_astigmatism = line == reprinted("          %10.2f %10.2f %10.2f %10.2f %10.6f ", line);
      const bool mean_defocus = line == reprinted("          %10.2f %10.2f %10.2f  %10.2f %10.6f ", line);
      const bool phase = line == reprinted("          %10.2f %10.2f %10.2f %10.2f %10.6f", line);
      EXPECT_TRUE(cycle > 0 && (angle_or_astigmatism || mean_defocus || phase)) << "cycle " << cycle << ": " << line;
      if (done()) return "";
    }
    EXPECT_EQ(next(), "");
    EXPECT_EQ(next(), phase_refined ? "   Defocus_U   Defocus_V       Angle    Phase_shift     CCC"
                                    : "   Defocus_U   Defocus_V       Angle        CCC");
    const std::string values = next();
    EXPECT_EQ(values, reprinted(phase_refined ? "%12.2f%12.2f%12.2f%12.2f%12.6f  Final Values"
                                              : "%12.2f%12.2f%12.2f%12.6f  Final Values",
                                values));
    EXPECT_EQ(next(), "");
    return values;
  }

 private:
  std::vector<std::string> lines_;
  size_t at_ = 0;
};

// The closing part of every log: resolution limit, B-factor and completion line.
void expect_log_end(LogReader& log, const StarRow& row) {
  EXPECT_EQ(log.next(), printed("Resolution limit estimated by EPA: RES_LIMIT %.3f ", row.values[9]));
  const std::string bfactor = log.next();
  double B = NAN;
  EXPECT_EQ(sscanf(bfactor.c_str(), "Estimated Bfactor: B_FACTOR  %lf", &B), 1) << bfactor;
  EXPECT_EQ(bfactor, printed("Estimated Bfactor: B_FACTOR  %.2f ", B));
  EXPECT_EQ(log.next(), "Processing done successfully.");
  EXPECT_TRUE(log.done());
}

std::vector<std::string> lines_from(const std::vector<std::string>& lines, size_t first) {
  return std::vector<std::string>(lines.begin() + std::min(first, lines.size()), lines.end());
}

TEST_F(E2eOutputs, LogOfARunWithoutThePhaseSearch) {
  const std::vector<StarRow> rows = quib_runs::star_rows(path("plain", kStarName));
  ASSERT_EQ(rows.size(), 2u) << plain_.output;
  const char* logs[] = {"a_quib.log", "sub/b_quib.log"};
  for (int m = 0; m < 2; ++m) {
    SCOPED_TRACE(logs[m]);
    const std::vector<std::string> lines = lines_of(read_text_file(path("plain", logs[m])));
    const std::vector<std::string> header = log_header();
    ASSERT_GT(lines.size(), header.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + header.size()), header);

    LogReader log(lines_from(lines, header.size()));
    const std::string& name = rows[m].micrograph;
    EXPECT_EQ(log.next(), "Reading file: " + name);
    EXPECT_EQ(log.next(), "");
    EXPECT_EQ(log.next(), "Reading " + name + ".");
    EXPECT_EQ(log.next(), "Processing file: " + name);
    EXPECT_EQ(log.next(), kSearchBanner);
    log.expect_search(5000, 500, 170);
    const std::vector<double>& v = rows[m].values;
    EXPECT_EQ(log.expect_refinement(false), printed("%12.2f%12.2f%12.2f%12.6f  Final Values", v[0], v[1], v[2], v[8]));
    expect_log_end(log, rows[m]);
  }
}

TEST_F(E2eOutputs, LogOfARunWithThePhaseSearch) {
  const std::vector<StarRow> rows = quib_runs::star_rows(path("phase", kStarName));
  ASSERT_EQ(rows.size(), 2u) << phase_.output;
  const std::vector<std::string> lines = lines_of(read_text_file(path("phase", "a_quib.log")));
  const std::vector<std::string> expected_options = {"ON",
                                                     "        --phase_shift_H      90.00",
                                                     "        --phase_shift_S      30.00",
                                                     "        --resL               15.00",
                                                     "        --convsize           12",
                                                     " 256       15.0        5.0   10000.0   70000.0  500.0    0.0"};
  for (const std::string& line : expected_options)
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;

  const auto banner = std::find(lines.begin(), lines.end(), kSearchBanner);
  ASSERT_NE(banner, lines.end());
  LogReader log(lines_from(lines, banner - lines.begin() + 1));
  // Candidates 0, 30 and 60 degrees, each a 1D search over 1000 ... 69800 A and a fixed-phase
  // refinement; then the refinement of the best with its phase shift free.
  for (int candidate = 0; candidate < 3; ++candidate) {
    log.expect_search(1000, 200, 345);
    log.expect_refinement(false);
  }
  const std::vector<double>& v = rows[0].values;
  EXPECT_EQ(log.expect_refinement(true),
            printed("%12.2f%12.2f%12.2f%12.2f%12.6f  Final Values", v[0], v[1], v[2], v[10], v[8]));
  expect_log_end(log, rows[0]);

  EXPECT_NE(phase_.output.find("searching phase shift ... \n Phase_shift      def_U         def_V         Angle"
                               "       CCC        \n        0.00 "),
            std::string::npos);
}

TEST_F(E2eOutputs, EpaFileAndTheResolutionLimitItGives) {
  const std::vector<StarRow> rows = quib_runs::star_rows(path("plain", kStarName));
  ASSERT_EQ(rows.size(), 2u);
  const char* epa_files[] = {"a_EPA.log", "sub/b.mrcs_EPA.log"};
  for (int m = 0; m < 2; ++m) {
    SCOPED_TRACE(epa_files[m]);
    const std::vector<std::string> lines = lines_of(read_text_file(path("plain", epa_files[m])));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "  Resolution      |CTFsim|    EPA( Ln|F| )    EPA(Ln|F| - Bg)    CCC");
    // Box 256 oversampled 4 times: 513 samples; sample i lies at 2 * 513 * 1.4 / i A. The scan runs
    // from i = 29 (just inside 50 A) while i < 495 - 16 - 10 (the 2.9 A bound less the windows).
    ASSERT_EQ(lines.size(), 1u + 440u);
    std::string limit;
    for (size_t k = 1; k < lines.size(); ++k) {
      const std::string& line = lines[k];
      EXPECT_EQ(line, reprinted("%12.6f  %12.6f  %12.6f   %12.6f   %12.6f ", line));
      double R = 0, simulated = 0, epa = 0, epa_bg = 0, ccc = 0;
      sscanf(line.c_str(), "%lf %lf %lf %lf %lf", &R, &simulated, &epa, &epa_bg, &ccc);
      EXPECT_NEAR(R, 1436.4 / (28 + k), 2e-5) << line;
      if (limit.empty() && ccc < 0 && R < 20) limit = line.substr(0, 12);
    }
    if (limit.empty()) limit = lines.back().substr(0, 12);
    EXPECT_EQ(limit, printed("%12.6f", rows[m].values[9])) << "the first sample past a sign change, below 20 A";
  }
  EXPECT_NE(plain_.output.find(printed("Resolution limit estimated by EPA: \033[1m %.3f \033[m\n", rows[0].values[9])),
            std::string::npos);
}

TEST_F(E2eOutputs, RelionReadsTheStarFile) {
  if (run_command("command -v relion_star_printtable").status != 0)
    GTEST_SKIP() << "RELION is not installed (no relion_star_printtable); the Debian package relion provides it";
  for (const char* run : {"plain", "phase"}) {
    SCOPED_TRACE(run);
    const std::string star = path(run, kStarName);
    const std::vector<StarRow> rows = quib_runs::star_rows(star);
    ASSERT_EQ(rows.size(), 2u);
    const CommandResult defocus = run_command("relion_star_printtable '" + star + "' data_ _rlnDefocusU");
    ASSERT_EQ(defocus.status, 0) << defocus.output;
    std::istringstream values(defocus.output);
    for (const StarRow& row : rows) {
      double U = NAN;
      values >> U;
      EXPECT_NEAR(U, row.values[0], 1e-6) << defocus.output;
    }

    const bool phase = std::string(run) == "phase";
    const std::string columns = phase ? " _rlnMicrographName _rlnDefocusV _rlnCtfMaxResolution _rlnPhaseShift"
                                      : " _rlnMicrographName _rlnDefocusV _rlnFinalResolution _rlnDefocusAngle";
    const CommandResult table = run_command("relion_star_printtable '" + star + "' data_" + columns);
    ASSERT_EQ(table.status, 0) << table.output;
    const std::vector<std::string> lines = lines_of(table.output);
    ASSERT_EQ(lines.size(), 2u) << table.output;
    for (size_t r = 0; r < 2; ++r) {
      std::istringstream words(lines[r]);
      std::string name;
      double V = NAN, resolution = NAN, last = NAN;
      words >> name >> V >> resolution >> last;
      EXPECT_EQ(name, rows[r].micrograph);
      EXPECT_NEAR(V, rows[r].values[1], 1e-6);
      EXPECT_NEAR(resolution, rows[r].values[9], 1e-6);
      EXPECT_NEAR(last, phase ? rows[r].values[10] : rows[r].values[2], 1e-6);
    }
  }
}

}  // namespace
