// The resolution limit of a spectrum, the EPA text file and the report lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "backend/memory.h"
#include "ctf/epa_profile.h"
#include "ctf/resolution_limit.h"
#include "epa_test_spectra.h"
#include "test_util.h"

namespace {

const TestModel kBox512{512, 1.0f, 300, 2.7f, 0.1f, 10500, 9500, 30};

// The driver's settings: oversampling 4 (or ov), threshold 20, the band resL .. resH, and the
// B-factor fitted between 15 and 6 Angstrom when estimate_B is set.
EpaSettings epa_settings(float resL, float resH, int ov = 4) { return {ov, 20.0f, RESO{resL, resH}}; }
ResolutionSettings resolution_settings(int estimate_B) { return {epa_settings(50.0f, 2.1f), estimate_B, RESO{15, 6}}; }

// A 512 box at 1 Angstrom of a round 10000 Angstrom defocus.
const Optics kOptics = make_optics(300, 2.7f, 0.1f, 1.0f);
const CtfModel kRound{10000, 10000, 0, 0};

float limit_of(const std::vector<float>& spectrum, const TestModel& m, float resL = 50.0f) {
  DeviceBuffer<float> d = device_copy_of(spectrum);
  return ctf_epa_1d_ccf(d.get(), m.nh(), m.N, m.optics(), m.model(), epa_settings(resL, 2.0f * m.apix + 0.1f));
}

std::string file_text(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A spectrum that is the CTF itself never stops following it: the limit is the last scanned
// sample, 2 M apix / (iH - Wmin - 11) = 2050 / 933 (iH = trunc(2050 / 2.1) = 976).
TEST(EpaLimit, SpectrumFollowingTheCtfToTheEdgeGivesTheLastScannedResolution) {
  EXPECT_FLOAT_EQ(limit_of(ctf_spectrum(kBox512), kBox512), 2050.0f / 933.0f);
}

// The spectrum with its rings (kBox512) up to 6 Angstrom and `beyond` further out.
template <class F>
std::vector<float> rings_up_to_6A(F beyond) {
  std::vector<float> spectrum = ctf_spectrum(kBox512);
  for (int y = 0; y < kBox512.N; ++y)
    for (int x = 0; x < kBox512.nh(); ++x) {
      const float r = std::hypot(float(x), float(y - kBox512.N / 2));
      const size_t i = static_cast<size_t>(y) * kBox512.nh() + x;
      if (r / (kBox512.N * kBox512.apix) > 1.0f / 6.0f) spectrum[i] = beyond(i, spectrum[i]);
    }
  return spectrum;
}

// Rings that turn into their negative at 6 Angstrom lose the CTF there: the correlation turns
// negative once the windows are mostly past it.
TEST(EpaLimit, RingsTurningOverGiveALimitWhereTheyTurn) {
  const float R = limit_of(rings_up_to_6A([](size_t, float v) { return 1.0f - v; }), kBox512);
  EXPECT_NEAR(R, 6.0f, 0.3f);
}

// Rings that end in noise at 6 Angstrom: the limit is never coarser than 6 Angstrom, and the
// correlation of the averaged noise with the CTF soon drifts below 0.
TEST(EpaLimit, RingsEndingInNoiseGiveALimitBeyondWhereTheyEnd) {
  for (unsigned seed : {1u, 2u, 3u}) {
    std::vector<float> noise(static_cast<size_t>(kBox512.nh()) * kBox512.N, 0.5f);
    add_noise(noise, 0.4f, seed);
    const float R = limit_of(rings_up_to_6A([&](size_t i, float) { return noise[i]; }), kBox512);
    EXPECT_GT(R, 3.0f) << "seed " << seed;
    EXPECT_LE(R, 6.0f) << "seed " << seed;
  }
}

// Constant spectra give windows without spread, whose correlation is undefined: they count as 0,
// the limit is the last scanned sample and no NaN reaches the result or the file. Cs = 0 works.
TEST(EpaLimit, FlatSpectraAndZeroCsGiveFiniteResults) {
  const std::vector<float> flat(static_cast<size_t>(kBox512.nh()) * kBox512.N, 1.0f);
  EXPECT_FLOAT_EQ(limit_of(flat, kBox512), 2050.0f / 933.0f);
  TestModel noCs = kBox512;
  noCs.Cs = 0.0f;
  EXPECT_FLOAT_EQ(limit_of(ctf_spectrum(noCs), noCs), 2050.0f / 933.0f);

  TempDir dir;
  DeviceBuffer<float> d = device_copy_of(flat);
  float B = -1;
  captured_stdout([&] {
    B = ctf_epa_1d_ccf_B_estimation(d.get(), d.get(), 257, 512, kOptics, kRound, resolution_settings(1),
                                    EpaOutput{dir.file("flat.mrc").c_str(), nullptr})
            .bfactor;
  });
  EXPECT_TRUE(std::isfinite(B));
  const std::string text = file_text(dir.file("flat_EPA.log"));
  EXPECT_EQ(text.find("nan"), std::string::npos);
  EXPECT_EQ(text.find("inf"), std::string::npos);
}

// A band with nothing to scan returns resH with a warning instead of an undefined value.
TEST(EpaLimit, EmptyScanReturnsResHWithAWarning) {
  const TestModel tiny{4, 1.0f, 300, 2.7f, 0.1f, 10000, 10000, 0};
  float R = 0;
  const std::string out = captured_stdout([&] { R = limit_of(ctf_spectrum(tiny), tiny); });
  EXPECT_FLOAT_EQ(R, 2.1f);
  EXPECT_NE(out.find("Warning in function epa_resolution_limit(), file ctf_epa on line "), std::string::npos);
  EXPECT_NE(out.find("the resolution limit is set to resH!\n"), std::string::npos);
  // nor does a profile without samples (a bad oversampling)
  DeviceBuffer<float> d = device_copy_of(ctf_spectrum(kBox512));
  captured_stdout([&] { R = ctf_epa_1d_ccf(d.get(), 257, 512, kOptics, kRound, epa_settings(50, 2.1f, -1)); });
  EXPECT_FLOAT_EQ(R, 2.1f);
}

// The EPA file: its name, the exact header, one line per scanned sample in the fixed format with
// the resolution, |CTF|, EPA(Ln|F|), EPA(Ln|F| - Bg) and the smoothed correlation; and the lines
// printed and logged.
TEST(EpaLimit, EpaFileAndReportLines) {
  const TestModel m{128, 1.0f, 300, 2.7f, 0.1f, 12000, 10000, 20};
  std::vector<float> sub = ctf_spectrum(m);
  add_noise(sub, 0.2f, 5);
  std::vector<float> plain(sub.size());
  for (size_t i = 0; i < sub.size(); ++i) plain[i] = sub[i] + 3.0f;
  DeviceBuffer<float> d_sub = device_copy_of(sub), d_plain = device_copy_of(plain);
  const int M = 257;  // iL = trunc(514 / 50) = 10, iH = trunc(514 / 2.1) = 244, Wmin 8: scan 11 .. 225

  TempDir dir;
  const std::string log_path = dir.file("log.txt");
  FILE* log = fopen(log_path.c_str(), "w");
  ASSERT_NE(log, nullptr);
  float R = 0, B = 0;
  const std::string out = captured_stdout([&] {
    const ResolutionEstimate e =
        ctf_epa_1d_ccf_B_estimation(d_sub.get(), d_plain.get(), m.nh(), m.N, m.optics(), m.model(),
                                    resolution_settings(1), EpaOutput{dir.file("mic.mrc").c_str(), log});
    R = e.resolution;
    B = e.bfactor;
  });
  fclose(log);

  char expected[256];
  snprintf(expected, sizeof expected,
           "Resolution limit estimated by EPA: \033[1m %.3f \033[m\nEstimated Bfactor: \033[1m %.2f \033[m\n", R, B);
  EXPECT_EQ(out, expected);
  snprintf(expected, sizeof expected,
           "Resolution limit estimated by EPA: RES_LIMIT %.3f \nEstimated Bfactor: B_FACTOR  %.2f \n", R, B);
  EXPECT_EQ(file_text(log_path), expected);

  const float same = ctf_epa_1d_ccf(d_sub.get(), m.nh(), m.N, m.optics(), m.model(), epa_settings(50.0f, 2.1f));
  EXPECT_EQ(R, same);

  DeviceBuffer<float> e_sub(M), e_plain(M);
  hcuda_2d_half_EPA_X_res(d_sub.get(), e_sub.get(), 4, m.nh(), m.N, m.optics(), m.model(), RESO{50.0f, 2.1f});
  hcuda_2d_half_EPA_X_res(d_plain.get(), e_plain.get(), 4, m.nh(), m.N, m.optics(), m.model(), RESO{50.0f, 2.1f});
  const std::vector<float> epa_sub = host_copy_of(e_sub), epa_plain = host_copy_of(e_plain);
  const std::vector<float> sim = ctf_profile(m, M, 50.0f, 2.0f);

  std::ifstream file(dir.file("mic_EPA.log"));
  std::string line;
  ASSERT_TRUE(std::getline(file, line));
  EXPECT_EQ(line, "  Resolution      |CTFsim|    EPA( Ln|F| )    EPA(Ln|F| - Bg)    CCC");
  int i = 11;
  for (; std::getline(file, line); ++i) {
    float v[5];
    ASSERT_EQ(sscanf(line.c_str(), "%f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4]), 5) << line;
    char want[128];
    snprintf(want, sizeof want, "%12.6f  %12.6f  %12.6f   %12.6f   %12.6f ", v[0], v[1], v[2], v[3], v[4]);
    EXPECT_EQ(line, want);
    EXPECT_NEAR(v[0], 2.0f * M / i, 1e-6f * v[0]) << i;
    EXPECT_NEAR(v[1], sim[i], 2e-5f) << i;
    EXPECT_NEAR(v[2], epa_plain[i], 1e-6f) << i;
    EXPECT_NEAR(v[3], epa_sub[i], 1e-6f) << i;
    EXPECT_LE(std::fabs(v[4]), 1.0f);
  }
  EXPECT_EQ(i, 226);
}

TEST(EpaLimit, EpaFileNames) {
  const TestModel m{64, 1.0f, 300, 2.7f, 0.1f, 10000, 10000, 0};
  DeviceBuffer<float> d = device_copy_of(ctf_spectrum(m));
  TempDir dir;
  for (const char* name : {"b.mrcs", "c.tif", "d.mrc", "e.png"}) {
    captured_stdout([&] {
      ctf_epa_1d_ccf_B_estimation(d.get(), d.get(), 33, 64, kOptics, kRound, resolution_settings(0),
                                  EpaOutput{dir.file(name).c_str(), nullptr});
    });
  }
  for (const char* made : {"b.mrcs_EPA.log", "c_EPA.log", "d_EPA.log", "e.png_EPA.log"})
    EXPECT_NE(file_text(dir.file(made)), "") << made;
}

TEST(EpaLimitDeathTest, UnwritableEpaFileEndsTheRun) {
  const TestModel m{64, 1.0f, 300, 2.7f, 0.1f, 10000, 10000, 0};
  DeviceBuffer<float> d = device_copy_of(ctf_spectrum(m));
  EXPECT_EXIT_STDOUT(
      ctf_epa_1d_ccf_B_estimation(d.get(), d.get(), 33, 64, kOptics, kRound, resolution_settings(1),
                                  EpaOutput{"/nonexistent-dir/m.mrc", nullptr}),
      1,
      "Cannot write to file /nonexistent-dir/m_EPA.log. Permission denied or no space left!\n"
      "Error in function ctf_epa_1d_ccf_B_estimation\\(\\), file ctf_epa on line [0-9]+: open file failed.! Exit now!");
}

}  // namespace
