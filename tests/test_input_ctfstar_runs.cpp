// The whole program refining the micrographs of an input CTF STAR file: a RELION 3.1 file (optics
// table, labels without numbers, comments) gives the rows of its RELION 3.0 equivalent, and rows
// with unusable defocus values are searched from scratch instead of reaching the output.
#include <gtest/gtest.h>

#include <cmath>
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

// The same small micrograph under each name.
void write_micrographs(const TempDir& dir, const std::vector<std::string>& names) {
  const std::string first = dir.file(names[0]);
  quib_runs::write_simulated(first, quib_runs::micrograph_params(256, 1.5f, 15000, 15000, 0, 3));
  for (size_t k = 1; k < names.size(); ++k)
    ASSERT_EQ(run_command("cp '" + first + "' '" + dir.file(names[k]) + "'").status, 0);
}

// Runs quib in the folder and returns the rows it wrote, with its output.
std::vector<StarRow> rows_of_run(const TempDir& dir, const std::string& arguments, std::string* output) {
  const CommandResult r = run_quib(dir, kOptions + arguments);
  EXPECT_FALSE(shows_crash(r)) << r.output;
  EXPECT_EQ(r.status, 0) << r.output;
  *output = r.output;
  return star_rows(dir.file(kStarName));
}

std::vector<std::string> lines_of_rows(const std::vector<StarRow>& rows) {
  std::vector<std::string> lines;
  for (const StarRow& row : rows) lines.push_back(row.line);
  return lines;
}

TEST(InputCtfStarRuns, Relion31FileGivesTheRowsOfItsRelion30Equivalent) {
  TempDir dir;
  write_micrographs(dir, {"a.mrc", "b.mrc"});
  write_text_file(dir, "relion30.star",
                  "\ndata_\n\nloop_\n_rlnMicrographName #1\n_rlnDefocusU #2\n_rlnDefocusV #3\n_rlnDefocusAngle #4\n"
                  "_rlnVoltage #5\n_rlnSphericalAberration #6\n_rlnAmplitudeContrast #7\n"
                  "a.mrc 15100 14900 10 300 2.7 0.1\n"
                  "b.mrc 15300 15200 40 200 2.0 0.07\n");
  // As RELION 3.1 writes it, but with the labels unnumbered and in another order, and a comment.
  write_text_file(dir, "relion31.star",
                  "\n# version 30001\n\ndata_optics\n\nloop_ \n_rlnOpticsGroupName\n_rlnOpticsGroup\n_rlnVoltage\n"
                  "_rlnSphericalAberration\n_rlnAmplitudeContrast\n_rlnMicrographPixelSize\n"
                  "opticsGroup1 1 300.000000 2.700000 0.100000 1.500000\n"
                  "opticsGroup2 2 200.000000 2.000000 0.070000 1.500000\n \n\n"
                  "# version 30001\n\ndata_micrographs\n\nloop_ \n_rlnMicrographName\n_rlnOpticsGroup\n"
                  "_rlnDefocusAngle\n# angle before defocus\n_rlnDefocusU\n_rlnDefocusV\n"
                  "a.mrc 1 10.000000 15100.000000 14900.000000\n"
                  "b.mrc 2 40.000000 15300.000000 15200.000000\n \n");

  std::string out30, out31;
  const std::vector<StarRow> rows30 = rows_of_run(dir, "--refine_input_ctf --input_ctfstar relion30.star", &out30);
  const std::vector<StarRow> rows31 = rows_of_run(dir, "--refine_input_ctf --input_ctfstar relion31.star", &out31);
  ASSERT_EQ(rows30.size(), 2u) << out30;
  EXPECT_EQ(lines_of_rows(rows31), lines_of_rows(rows30)) << out31;
  for (const std::string& out : {out30, out31}) {
    EXPECT_NE(out.find("All 2 files to be refined:\n        a.mrc\n        b.mrc\n"), std::string::npos) << out;
    // Both micrographs start from the file's values rather than from a search.
    EXPECT_NE(out.find("input PS= 0.000000 defocus_U= 15100.000000 defocus_V= 14900.000000"), std::string::npos);
    EXPECT_NE(out.find("input PS= 0.000000 defocus_U= 15300.000000 defocus_V= 15200.000000"), std::string::npos);
    EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
  }
}

TEST(InputCtfStarRuns, UnusableDefocusValuesAreReportedAndTheirMicrographsSearchedFromScratch) {
  TempDir dir;
  const std::vector<std::string> bad = {"nan.mrc", "inf.mrc", "negative.mrc", "comma.mrc", "angle.mrc"};
  std::vector<std::string> names = {"good.mrc", "plain.mrc"};
  names.insert(names.end(), bad.begin(), bad.end());
  write_micrographs(dir, names);
  write_text_file(dir, "in.star",
                  "data_\nloop_\n_rlnMicrographName #1\n_rlnDefocusU #2\n_rlnDefocusV #3\n_rlnDefocusAngle #4\n"
                  "good.mrc 15100 14900 10\n"
                  "nan.mrc nan 14900 10\n"
                  "inf.mrc 15100 inf 10\n"
                  "negative.mrc -857 14900 10\n"
                  "comma.mrc 17,000 14900 10\n"
                  "angle.mrc 15100 14900 -Infinity\n");

  std::string searched_out;
  const std::vector<StarRow> searched = rows_of_run(dir, "plain.mrc", &searched_out);
  ASSERT_EQ(searched.size(), 1u) << searched_out;
  std::string out;
  const std::vector<StarRow> rows = rows_of_run(dir, "--refine_input_ctf --input_ctfstar in.star", &out);
  ASSERT_EQ(rows.size(), 6u) << out;

  const char* const reports[] = {
      "micrograph nan.mrc of in.star gives _rlnDefocusU \"nan\", not a finite number; its CTF is searched from "
      "scratch!",
      "micrograph inf.mrc of in.star gives _rlnDefocusV \"inf\", not a finite number;",
      "micrograph negative.mrc of in.star gives _rlnDefocusU \"-857\", a negative defocus;",
      "micrograph comma.mrc of in.star gives _rlnDefocusU \"17,000\", not a finite number;",
      "micrograph angle.mrc of in.star gives _rlnDefocusAngle \"-Infinity\", not a finite number;",
  };
  for (const char* report : reports) EXPECT_NE(out.find(report), std::string::npos) << report << "\n" << out;
  EXPECT_EQ(count_occurrences(out, "input PS="), 1) << "only good.mrc starts from its values";
  for (const StarRow& row : rows) {
    ASSERT_EQ(row.values.size(), 10u) << row.line;
    for (double v : row.values) EXPECT_TRUE(std::isfinite(v)) << row.line;
    EXPECT_GT(row.values[0], 0.0) << row.line;
    EXPECT_GT(row.values[1], 0.0) << row.line;
  }
  // Each bad row's micrograph is a copy of plain.mrc and gets the values of its plain search.
  for (size_t k = 1; k < rows.size(); ++k) {
    EXPECT_EQ(rows[k].micrograph, bad[k - 1]);
    EXPECT_EQ(rows[k].values, searched[0].values) << rows[k].line;
  }
}

}  // namespace
