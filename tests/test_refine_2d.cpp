// The 2D refinement: recovery of a known astigmatic CTF from offset starts, the angle convention
// of the result, the switches and tolerances, the cycle limit, and the exact log and screen lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/ctf_simulate.h"
#include "ctf/random_seed.h"
#include "ctf/refine_2d.h"
#include "golden_log.h"
#include "log_text.h"
#include "search_spectra.h"
#include "test_util.h"

namespace {

using log_text::contents;
using log_text::occurrences;
using search_spectra::TrueCtf;

constexpr float kApix = 1.0f;

// A measured spectrum on the device with a work array, and the optics of the tests.
struct Bench {
  int N;
  DeviceBuffer<float> measured;
  DeviceBuffer<float> work;
  Bench(int n, const TrueCtf& t, double noise = 0.3, unsigned seed = 1)
      : N(n),
        measured(device_copy_of(search_spectra::half_spectrum(n, kApix, t, noise, seed))),
        work(measured.size()) {}
};

struct Result {
  float U, V, A, P, ccc;
};

CTF_REF_CONTROL quiet_control() {
  CTF_REF_CONTROL c;
  ctf_ref_control_init(c);
  c.set_PHSL(0, 0, 0, 0);
  return c;
}

Result refine(Bench& b, float U0, float V0, float A0, float P0, float defocus_step, float angle_step, float phase_range,
              const CTF_REF_CONTROL& control, FILE* log = nullptr, float resL = 50.0f, float resH = 4.0f) {
  const CtfSampling fit{make_optics(300.0f, 2.7f, 0.1f, kApix), 100.0f, RESO{resL, resH}};
  const RefineTarget target{b.measured.get(), b.work.get(), b.N, b.N, fit};
  const CtfFit f = hcuda_ctfrefine_half2d(target, CtfModel{U0, V0, A0, P0},
                                          RefineSteps{defocus_step, angle_step, phase_range}, control, log);
  return Result{f.model.defocus_u, f.model.defocus_v, f.model.angle, f.model.phase_shift, f.ccc};
}

class Refine2d : public testing::Test {
 protected:
  void SetUp() override { quib_set_fixed_seed(11); }
  void TearDown() override { quib_clear_fixed_seed(); }
};

TEST_F(Refine2d, RecoversAstigmaticDefocusFromOffsetStarts) {
  struct Case {
    TrueCtf truth;
    float U0, V0, A0;
  };
  const Case cases[] = {
      {{20000, 21000, 35}, 19700, 21400, 22},
      {{12000, 12800, 70}, 12300, 12300, 55},
      {{30000, 31500, 10}, 30400, 30900, 5},
  };
  for (const Case& c : cases) {
    Bench b(512, c.truth);
    const Result r = refine(b, c.U0, c.V0, c.A0, 0.0f, 500.0f, 30.0f, 0.0f, quiet_control());
    // Noise of 0.3 against rings of amplitude 1: within 7 Angstrom for any noise seed tried.
    EXPECT_NEAR(r.U, c.truth.U, 8.0) << c.truth.U;
    EXPECT_NEAR(r.V, c.truth.V, 8.0) << c.truth.U;
    EXPECT_NEAR(r.A, c.truth.A, 1.0) << c.truth.U;
    EXPECT_EQ(r.P, 0.0f);
    // The model's amplitude against a spectrum that oscillates about zero: clearly positive.
    EXPECT_GT(r.ccc, 0.2f);
  }
}

TEST_F(Refine2d, ReportsAnglesInZeroToNinetyExchangingUAndV) {
  struct Case {
    float A;
    float reported_A;
    bool exchanged;
  };
  for (const Case& c : {Case{-30, 60, true}, Case{100, 10, true}, Case{30, 30, false}}) {
    Bench b(512, {20000, 21000, c.A});
    const Result r = refine(b, 20000, 21000, c.A, 0.0f, 200.0f, 10.0f, 0.0f, quiet_control());
    EXPECT_NEAR(r.A, c.reported_A, 1.0) << c.A;
    EXPECT_NEAR(r.U, c.exchanged ? 21000 : 20000, 10.0) << c.A;
    EXPECT_NEAR(r.V, c.exchanged ? 20000 : 21000, 10.0) << c.A;
  }
}

TEST_F(Refine2d, PhaseShiftStaysWhenItsRangeIsZero) {
  Bench b(256, {15000, 15500, 40, 20});
  CTF_REF_CONTROL control = quiet_control();
  EXPECT_EQ(refine(b, 15000, 15500, 40, 20.0f, 300.0f, 10.0f, 0.0f, control).P, 20.0f) << "not refined";
  control.set_PHSL(1, 0, 0, 0);
  EXPECT_EQ(refine(b, 15000, 15500, 40, 20.0f, 300.0f, 10.0f, 0.0f, control).P, 20.0f) << "refined, range 0";
}

TEST_F(Refine2d, RecoversThePhaseShiftWhenRefined) {
  Bench b(512, {15000, 15500, 40, 70});
  CTF_REF_CONTROL control = quiet_control();
  control.set_PHSL(1, 0, 0, 0);
  const Result r = refine(b, 15100, 15400, 30, 60.0f, 300.0f, 20.0f, 30.0f, control);
  // Phase shift and defocus trade against each other: a few degrees and a few tens of Angstrom.
  EXPECT_NEAR(r.P, 70.0, 4.0);
  EXPECT_NEAR(r.U, 15000, 30.0);
  EXPECT_NEAR(r.V, 15500, 30.0);
}

TEST_F(Refine2d, AParameterWhoseToleranceCoversItsStepNeverMoves) {
  Bench b(256, {20000, 21000, 35});
  CTF_REF_CONTROL control = quiet_control();
  control.defocus_tolerance = 600.0f;
  control.angle_tolerance = 12.0f;
  const float U0 = 19600, V0 = 21300, A0 = 30;
  const Result r = refine(b, U0, V0, A0, 0.0f, 500.0f, 10.0f, 0.0f, control);
  EXPECT_NEAR((r.U + r.V) / 2, (U0 + V0) / 2, 0.01) << "the mean has no start comparison";
  // Astigmatism and angle keep the better of their two start points.
  const float h = (r.V - r.U) / 2, h0 = (V0 - U0) / 2;
  EXPECT_TRUE(std::fabs(h - h0) < 0.01 || std::fabs(h - (h0 - 500)) < 0.01) << h;
  EXPECT_TRUE(r.A == A0 + 5 || r.A == A0 - 5) << r.A;
}

TEST_F(Refine2d, FixedSeedMakesRunsRepeatable) {
  Bench b(256, {18000, 18900, 50});
  const Result first = refine(b, 18200, 18500, 40, 0.0f, 500.0f, 30.0f, 0.0f, quiet_control());
  const Result second = refine(b, 18200, 18500, 40, 0.0f, 500.0f, 30.0f, 0.0f, quiet_control());
  EXPECT_EQ(first.U, second.U);
  EXPECT_EQ(first.V, second.V);
  EXPECT_EQ(first.A, second.A);
  EXPECT_EQ(first.ccc, second.ccc);
}

TEST_F(Refine2d, WorkArrayEndsWithTheSquaredModel) {
  Bench b(128, {18000, 18900, 50});
  const Result r = refine(b, 18200, 18500, 40, 0.0f, 500.0f, 30.0f, 0.0f, quiet_control());
  DeviceBuffer<float> expected(b.work.size());
  const CtfSampling fit{make_optics(300.0f, 2.7f, 0.1f, kApix), 100.0f, RESO{50.0f, 4.0f}};
  hcuda_ctf_modsquare_simulate_2d_half(expected.get(), 65, 128, fit, CtfModel{r.U, r.V, r.A, r.P});
  const std::vector<float> got = host_copy_of(b.work), want = host_copy_of(expected);
  for (size_t i = 0; i < want.size(); ++i) ASSERT_NEAR(got[i], want[i], 1e-5) << i;
}

TEST_F(Refine2d, WarnsOnceWhenTheCycleLimitIsReached) {
  Bench b(64, {18000, 18900, 50});
  CTF_REF_CONTROL control = quiet_control();
  control.write_to_log = 1;
  control.angle_tolerance = control.defocus_tolerance = -1.0f;  // never converges
  FILE* log = tmpfile();
  const std::string screen =
      captured_stdout([&] { refine(b, 18200, 18500, 40, 0.0f, 500.0f, 30.0f, 0.0f, control, log); });
  const std::string text = contents(log);
  fclose(log);
  EXPECT_EQ(screen, "\033[43m" + golden_log::kTooManyCycles + "\033[m\n");
  EXPECT_EQ(occurrences(text, golden_log::kTooManyCycles + "\n"), 1u);
  EXPECT_EQ(occurrences(text, "Cycle: "), 100u);
  EXPECT_EQ(occurrences(text, "Cycle: 99\n"), 1u);
  EXPECT_EQ(occurrences(text, "LAST CYCLE"), 0u);

  control.angle_tolerance = 0.5f;
  control.defocus_tolerance = 2.0f;
  FILE* converged_log = tmpfile();
  const std::string quiet =
      captured_stdout([&] { refine(b, 18200, 18500, 40, 0.0f, 500.0f, 30.0f, 0.0f, control, converged_log); });
  const std::string converged_text = contents(converged_log);
  fclose(converged_log);
  EXPECT_EQ(quiet, "");
  EXPECT_EQ(occurrences(converged_text, "WARNING"), 0u);
  EXPECT_EQ(occurrences(converged_text, "LAST CYCLE"), 1u);
}

std::string format(const char* pattern, float a, float b, float c, float d, float e = 0.0f) {
  char line[256];
  snprintf(line, sizeof line, pattern, a, b, c, d, e);
  return line;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start + 1));
  return lines;
}

TEST_F(Refine2d, WritesTheExactLogAndScreenLines) {
  Bench b(128, {18000, 18900, 50, 30});
  CTF_REF_CONTROL control;
  ctf_ref_control_init(control);
  FILE* log = tmpfile();
  Result r{};
  const std::string screen =
      captured_stdout([&] { r = refine(b, 18200, 18500, 40, 30.0f, 500.0f, 30.0f, 0.0f, control, log); });
  const std::string text = contents(log);
  fclose(log);
  EXPECT_EQ(screen, "\n   Defocus_U   Defocus_V       Angle          CCC" +
                        format("%12.2f%12.2f%12.2f%12.6f  Final Values\n\n", r.U, r.V, r.A, r.ccc));
  const std::vector<std::string> lines = lines_of(text);
  ASSERT_GT(lines.size(), 8u);
  EXPECT_EQ(lines[0], golden_log::kRefineBanner + "\n");
  EXPECT_EQ(lines[1], golden_log::kRefineColumns + "\n");
  EXPECT_EQ(lines[2], "Cycle: 00\n");
  const std::string ending = "\n   Defocus_U   Defocus_V       Angle        CCC\n" +
                             format("%12.2f%12.2f%12.2f%12.6f  Final Values\n\n", r.U, r.V, r.A, r.ccc);
  ASSERT_GE(text.size(), ending.size());
  EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
  EXPECT_EQ(occurrences(text, golden_log::kLastCycle + "\n"), 1u);
  // Every step line re-reads into its own layout: the mean-defocus line has two blanks before
  // the phase shift.
  size_t steps = 0, mean_steps = 0;
  for (const std::string& line : lines) {
    if (line.compare(0, 10, "          ") != 0 || line == lines[1]) continue;
    float v[5];
    ASSERT_EQ(sscanf(line.c_str(), "%f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4]), 5) << line;
    const bool mean = line.size() == 67;
    const char* layout =
        mean ? "          %10.2f %10.2f %10.2f  %10.2f %10.6f \n" : "          %10.2f %10.2f %10.2f %10.2f %10.6f \n";
    EXPECT_EQ(line, format(layout, v[0], v[1], v[2], v[3], v[4]));
    EXPECT_EQ(v[3], 30.0f) << "the phase shift is logged";
    ++steps;
    mean_steps += mean;
  }
  EXPECT_GT(mean_steps, 0u);
  EXPECT_GT(steps, mean_steps);
}

TEST_F(Refine2d, PhaseShiftAndHighResolutionFinalLines) {
  Bench b(128, {18000, 18900, 50, 30});
  CTF_REF_CONTROL control;
  ctf_ref_control_init(control);
  control.set_PHSL(1, 1, 1, 1);
  FILE* log = tmpfile();
  Result r{};
  const std::string screen =
      captured_stdout([&] { r = refine(b, 18200, 18500, 40, 25.0f, 500.0f, 30.0f, 10.0f, control, log); });
  const std::string text = contents(log);
  fclose(log);
  EXPECT_EQ(screen,
            "\n   Defocus_U   Defocus_V       Angle      Phase_shift     CCC" +
                format("%12.2f%12.2f%12.2f%12.2f%16.6f  Final Values (Hres refine)\n\n", r.U, r.V, r.A, r.P, r.ccc));
  const std::string ending = "\n   Defocus_U   Defocus_V       Angle    Phase_shift     CCC\n" +
                             format("%12.2f%12.2f%12.2f%12.2f%12.6f  Final Values\n\n", r.U, r.V, r.A, r.P, r.ccc);
  ASSERT_GE(text.size(), ending.size());
  EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
  // Phase steps end without a blank.
  bool phase_step = false;
  for (const std::string& line : lines_of(text))
    phase_step |= line.size() == 65 && line.compare(0, 10, "          ") == 0;
  EXPECT_TRUE(phase_step);
}

}  // namespace
