// The 1D defocus search: the grid, the choice of the candidate nearest the true defocus, ties,
// the log lines and the empty grid.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ctf/search_1d.h"
#include "log_text.h"
#include "search_spectra.h"
#include "test_util.h"

namespace {

using log_text::contents;
using search_spectra::TestPara;

TEST(DefocusGrid, CountsCandidatesBelowTheUpperEnd) {
  struct Case {
    float L, H, S;
    int count;
  };
  const Case cases[] = {
      {5000, 90000, 500, 170}, {1000, 1400, 500, 0}, {1000, 1500, 500, 1},  {0, 10, 3, 3},
      {5000, 1000, 500, 0},    {1000, 2000, NAN, 0}, {1000, 2000, -100, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(defocus_grid_count(c.L, c.H, c.S), c.count) << c.L << " " << c.H << " " << c.S;
  const char* too_many =
      "Error in function defocus_grid_count\\(\\), file ctf on line [0-9]+: Too many defocus candidates: --defS is "
      "too small! Exit now!";
  EXPECT_EXIT_STDOUT(defocus_grid_count(1000, 90000, 1e-6f), 1, too_many);
  EXPECT_EXIT_STDOUT(defocus_grid_count(1000, 90000, 0.0f), 1, too_many);
}

TEST(Search1d, FindsTheGridPointNearestTheTrueDefocus) {
  TestPara t(512, 1.0f);
  for (double truth : {8100.0, 15380.0, 33100.0, 61950.0}) {
    std::vector<float> half = search_spectra::half_spectrum(512, 1.0, {truth, truth, 0}, 0.5, 3);
    float D = 0;
    quib_1D_search2(half.data(), D, 0.0f, defocus_search_settings(t.para), nullptr);
    EXPECT_EQ(D, 5000 + 500 * std::round((truth - 5000) / 500)) << truth;
  }
}

TEST(Search1d, UsesThePhaseShiftOfTheSimulation) {
  TestPara t(256, 1.0f);
  search_spectra::TrueCtf truth{20100, 20100, 0, 90};
  std::vector<float> half = search_spectra::half_spectrum(256, 1.0, truth, 0.5, 4);
  float D = 0;
  quib_1D_search2(half.data(), D, 90.0f, defocus_search_settings(t.para), nullptr);
  EXPECT_EQ(D, 20000.0f);
}

TEST(Search1d, LogsEveryCandidateAndKeepsTheLowerDefocusOnTies) {
  TestPara t(128, 1.0f);
  // A spectrum of zeros scores every candidate 0: the first (lowest) defocus wins.
  std::vector<float> half(65 * 128, 0.0f);
  half[64 * 65] = 7.0f;
  FILE* log = tmpfile();
  float D = 0;
  quib_1D_search2(half.data(), D, 0.0f, defocus_search_settings(t.para), log);
  const std::string text = contents(log);
  fclose(log);
  EXPECT_EQ(D, 5000.0f);
  EXPECT_EQ(half[64 * 65], 0.0f) << "the zero-frequency element is cleared";
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 170u);
  EXPECT_EQ(text.substr(0, 31), "       0   5000.000   0.000000\n");
  EXPECT_NE(text.find("     169  89500.000   0.000000\n"), std::string::npos);
}

TEST(Search1d, EmptyGridGivesTheLowerLimitWithAWarning) {
  TestPara t(128, 1.0f);
  t.para.defL = 1000;
  t.para.defH = 1400;
  std::vector<float> half(65 * 128, 1.0f);
  float D = 0;
  FILE* log = tmpfile();
  const std::string screen =
      captured_stdout([&] { quib_1D_search2(half.data(), D, 0.0f, defocus_search_settings(t.para), log); });
  EXPECT_EQ(contents(log), "");
  fclose(log);
  EXPECT_EQ(D, 1000.0f);
  const std::string start = "Warning in function quib_1D_search2(), file ctf on line ";
  const std::string end = ": The defocus search grid is empty (check --defL, --defH and --defS); --defL is used!\n";
  ASSERT_GT(screen.size(), start.size() + end.size()) << screen;
  EXPECT_EQ(screen.substr(0, start.size()), start);
  EXPECT_EQ(screen.substr(screen.size() - end.size()), end);
  EXPECT_GT(std::stoi(screen.substr(start.size())), 0) << "a line number";
}

}  // namespace
