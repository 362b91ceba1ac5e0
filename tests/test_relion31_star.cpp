// The STAR file in the layout of RELION 3.1 and later (--ctfstar_format 31): an optics table with
// the run's optics, then the micrographs with the same values as the RELION 3.0 table plus the
// astigmatism, with and without the phase shift; RELION reads both tables, a resumed run keeps the
// file as it was, and a layout other than 30 or 31 is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "quib_runs.h"

namespace {

using quib_runs::kStarName;
using quib_runs::run_quib;

const std::string kOptions = "--apix 1.3 --kV 200 --cs 2.1 --ac 0.07 --boxsize 256 --seed 1 ";

// The rows of the last table: lines whose third word names a ".ctf:mrc" image, as words.
std::vector<std::vector<std::string>> relion31_rows(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : lines_of(read_text_file(path))) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    if (words.size() >= 3 && words[2].find(":mrc") != std::string::npos) rows.push_back(words);
  }
  return rows;
}

class Relion31Star : public testing::TestWithParam<bool> {};

TEST_P(Relion31Star, HoldsTheOpticsAndTheValuesOfTheOneTableLayout) {
  const bool phase = GetParam();
  const std::string options = kOptions + (phase ? "--phase_shift_L 0 --phase_shift_H 90 --phase_shift_S 30 " : "");
  TempDir dir;
  SimParams p = quib_runs::micrograph_params(512, 1.3f, 14000, 12500, 40, 8);
  p.kV = 200;
  p.Cs = 2.1f;
  p.ac = 0.07f;
  quib_runs::write_simulated(dir.file("a.mrc"), p);
  p.seed = 9;
  p.defU = 21000;
  quib_runs::write_simulated(dir.file("b.mrc"), p);

  const CommandResult old_layout = run_quib(dir, options + "a.mrc b.mrc");
  ASSERT_EQ(old_layout.status, 0) << old_layout.output;
  const std::vector<quib_runs::StarRow> expected = quib_runs::star_rows(dir.file(kStarName));
  const CommandResult run = run_quib(dir, options + "--ctfstar_format 31 a.mrc b.mrc");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string star = read_text_file(dir.file(kStarName));
  EXPECT_NE(star.find("data_optics\n\nloop_\n_rlnOpticsGroupName #1\n_rlnOpticsGroup #2\n"
                      "_rlnMicrographOriginalPixelSize #3\n_rlnVoltage #4\n_rlnSphericalAberration #5\n"
                      "_rlnAmplitudeContrast #6\n_rlnMicrographPixelSize #7\nopticsGroup1 1     1.300000   "
                      "200.000000     2.100000     0.070000     1.300000\n"),
            std::string::npos)
      << star;
  EXPECT_NE(star.find("_rlnCtfMaxResolution #9\n"), std::string::npos) << star;
  EXPECT_EQ(star.find("_rlnPhaseShift #10\n") != std::string::npos, phase) << star;

  const std::vector<std::vector<std::string>> rows = relion31_rows(dir.file(kStarName));
  ASSERT_EQ(rows.size(), 2u) << star;
  ASSERT_EQ(expected.size(), 2u);
  for (size_t r = 0; r < 2; ++r) {
    const std::vector<std::string>& w = rows[r];
    const std::vector<double>& v = expected[r].values;  // U V angle kV Cs ac mag dstep fom res [phase]
    ASSERT_EQ(w.size(), phase ? 10u : 9u);
    EXPECT_EQ(w[0], expected[r].micrograph);
    EXPECT_EQ(w[1], "1");
    EXPECT_EQ(w[2], expected[r].ctf_image);
    EXPECT_EQ(std::stod(w[3]), v[0]);
    EXPECT_EQ(std::stod(w[4]), v[1]);
    EXPECT_NEAR(std::stod(w[5]), std::fabs(v[0] - v[1]), 2e-6);
    EXPECT_EQ(std::stod(w[6]), v[2]);
    EXPECT_EQ(std::stod(w[7]), v[8]);
    EXPECT_EQ(std::stod(w[8]), v[9]);
    if (phase) {
      EXPECT_EQ(std::stod(w[9]), v[10]);
    }
  }

  // Resumed with the same options, nothing changes; a torn last row is written again.
  const CommandResult resumed = run_quib(dir, options + "--ctfstar_format 31 --do_unfinished 1 a.mrc b.mrc");
  ASSERT_EQ(resumed.status, 0) << resumed.output;
  EXPECT_EQ(count_occurrences(resumed.output, "already determined"), 2) << resumed.output;
  EXPECT_EQ(read_text_file(dir.file(kStarName)), star);
  const size_t last_row = star.rfind("b.mrc 1 ");
  ASSERT_NE(last_row, std::string::npos);
  write_text_file(dir, kStarName, star.substr(0, last_row + 20));
  const CommandResult repaired = run_quib(dir, options + "--ctfstar_format 31 --do_unfinished 1 a.mrc b.mrc");
  ASSERT_EQ(repaired.status, 0) << repaired.output;
  EXPECT_EQ(read_text_file(dir.file(kStarName)), star);

  if (run_command("command -v relion_star_printtable").status != 0) {
    printf("[ skipped  ] RELION is not installed: relion_star_printtable was not tried\n");
    return;
  }
  const std::string path = "'" + dir.file(kStarName) + "'";
  const CommandResult defocus = run_command("relion_star_printtable " + path + " data_micrographs _rlnDefocusU");
  ASSERT_EQ(defocus.status, 0) << defocus.output;
  EXPECT_EQ(lines_of(defocus.output), std::vector<std::string>({rows[0][3], rows[1][3]}));
  const CommandResult pixel = run_command("relion_star_printtable " + path + " data_optics _rlnMicrographPixelSize");
  ASSERT_EQ(pixel.status, 0) << pixel.output;
  EXPECT_EQ(std::stod(pixel.output), 1.3);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutPhaseShift, Relion31Star, testing::Bool());

TEST(Relion31StarOption, OnlyTheTwoLayoutsAreAccepted) {
  TempDir dir;
  write_text_file(dir, "a.mrc", "not read");
  const CommandResult refused = run_quib(dir, "--apix 1 --ctfstar_format 3 a.mrc");
  EXPECT_EQ(refused.status, 1) << refused.output;
  EXPECT_NE(refused.output.find("Invalid --ctfstar_format 3: 30 writes the RELION 3.0 table, 31 the tables of "
                                "RELION 3.1 and later"),
            std::string::npos)
      << refused.output;
}

}  // namespace
