// The fit profile (--write_profile) of a simulated micrograph: one row per pixel of radius with the
// right frequencies, a spectrum that follows the fitted CTF^2 across the fitting band, the fitted
// values in its header; no profile without the option, and none written over an input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "quib_runs.h"

namespace {

using quib_runs::run_quib;

struct ProfileRow {
  double frequency, resolution, spectrum, ctf2;
};

std::vector<ProfileRow> profile_rows(const std::string& text) {
  std::vector<ProfileRow> rows;
  for (const std::string& line : lines_of(text)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    ProfileRow r;
    if (words >> r.frequency >> r.resolution >> r.spectrum >> r.ctf2) rows.push_back(r);
  }
  return rows;
}

TEST(FitProfile, FollowsTheFittedCtfAcrossTheBand) {
  TempDir dir;
  quib_runs::write_simulated(dir.file("m.mrc"), quib_runs::micrograph_params(1024, 1.0f, 15000, 14000, 30, 4));
  const CommandResult plain = run_quib(dir, "--apix 1 --boxsize 512 --seed 1 m.mrc");
  ASSERT_EQ(plain.status, 0) << plain.output;
  EXPECT_NE(access(dir.file("m_profile.txt").c_str(), F_OK), 0);

  const CommandResult run = run_quib(dir, "--apix 1 --boxsize 512 --seed 1 --write_profile 1 m.mrc");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string text = read_text_file(dir.file("m_profile.txt"));
  const std::vector<quib_runs::StarRow> star = quib_runs::star_rows(dir.file(quib_runs::kStarName));
  ASSERT_EQ(star.size(), 1u);
  char fitted[128];
  snprintf(fitted, sizeof fitted, "# defocus_U %.2f defocus_V %.2f angle %.2f", star[0].values[0], star[0].values[1],
           star[0].values[2]);
  EXPECT_NE(text.find(fitted), std::string::npos) << text.substr(0, 400);

  const std::vector<ProfileRow> rows = profile_rows(text);
  ASSERT_EQ(rows.size(), 256u);  // radii 1 to 256 of a 512 box
  std::vector<double> spectrum, ctf2;
  for (size_t k = 0; k < rows.size(); ++k) {
    EXPECT_NEAR(rows[k].frequency, (k + 1) / 512.0, 1e-6);
    EXPECT_NEAR(rows[k].resolution * rows[k].frequency, 1.0, 1e-4);
    EXPECT_GE(rows[k].ctf2, 0.0);
    EXPECT_LE(rows[k].ctf2, 1.0);
    if (rows[k].resolution <= 20 && rows[k].resolution >= 5) {
      spectrum.push_back(rows[k].spectrum);
      ctf2.push_back(rows[k].ctf2);
    }
  }
  const double r = correlation(spectrum, ctf2);
  printf("[ measured ] spectrum against fitted CTF^2, 20-5 A: r = %.3f over %zu radii\n", r, spectrum.size());
  EXPECT_GT(r, 0.5);

  // The profile of m.mrc would replace an input of the run.
  write_text_file(dir, "m_profile.txt", "an input");
  const CommandResult refused = run_quib(dir, "--apix 1 --boxsize 512 --write_profile 1 m.mrc m_profile.txt");
  EXPECT_EQ(refused.status, 1) << refused.output;
  EXPECT_NE(refused.output.find("The fit profile m_profile.txt would overwrite the input file m_profile.txt"),
            std::string::npos)
      << refused.output;
  EXPECT_EQ(read_text_file(dir.file("m_profile.txt")), "an input");
}

}  // namespace
