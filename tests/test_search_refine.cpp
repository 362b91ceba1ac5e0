// The search and refine sequence: the starting points, the first-pass limits, the phase-shift
// candidates and their choice, and the three sequences on spectra of a known CTF.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/ctf_simulate.h"
#include "ctf/phase_candidates.h"
#include "ctf/random_seed.h"
#include "ctf/refine_start.h"
#include "ctf/search_refine.h"
#include "ctf/search_sequence.h"
#include "log_text.h"
#include "search_spectra.h"
#include "test_util.h"

namespace {

using log_text::occurrences;
using search_spectra::TestPara;
using search_spectra::TrueCtf;

// The number of lines of text that re-print exactly in the layout of `count` floats.
size_t lines_in_layout(const std::string& text, const char* layout, int count) {
  size_t lines = 0, start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start + 1);
    float v[6];
    if (sscanf(line.c_str(), "%f %f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != count) continue;
    char again[256];
    snprintf(again, sizeof again, layout, v[0], v[1], v[2], v[3], v[4], v[5]);
    lines += line == again;
  }
  return lines;
}

// One micrograph's buffers, as the driver holds them, with a spectrum of a known CTF.
struct Micrograph {
  int N;
  std::vector<float> host;
  DeviceBuffer<float> measured;
  DeviceBuffer<float> work;
  Micrograph(int n, float apix, const TrueCtf& t, double noise = 0.3)
      : N(n),
        host(static_cast<size_t>(n / 2 + 1) * n),
        measured(device_copy_of(search_spectra::half_spectrum(n, apix, t, noise, 5))),
        work(host.size()) {}
};

struct SequenceRun {
  CTF_INFO ctf = ctf2d_default();
  std::string screen;
};

SequenceRun run_sequence(Micrograph& m, const QUIB_Para& para) {
  const SearchRefineSettings settings = search_refine_settings(para, 0);
  SequenceRun run;
  run.screen = captured_stdout(
      [&] { quib_1D_search_2D_refine(run.ctf, settings, m.host.data(), m.measured.get(), m.work.get(), nullptr); });
  return run;
}

class SearchRefine : public testing::Test {
 protected:
  void SetUp() override { quib_set_fixed_seed(5); }
  void TearDown() override { quib_clear_fixed_seed(); }
};

TEST(SearchSequence, FirstPassResolutionLimits) {
  EXPECT_EQ(first_pass_resolution_ab_initio(4.0f), 8.0f);
  EXPECT_EQ(first_pass_resolution_ab_initio(6.0f), 10.0f);
  EXPECT_EQ(first_pass_resolution(4.0f, 1.0f), 8.0f);
  EXPECT_EQ(first_pass_resolution(6.0f, 1.0f), 10.0f);
  EXPECT_EQ(first_pass_resolution(6.0f, 5.0f), 10.0f);
  EXPECT_EQ(first_pass_resolution(12.0f, 6.0f), 12.0f) << "never finer than Nyquist";
  EXPECT_EQ(second_pass_steps({15000, 15000, 20, 0}).defocus, 0.0f) << "U = V leaves the defocus still";
  EXPECT_EQ(second_pass_steps({15300, 15000, 20, 0}).defocus, 100.0f);
}

TEST(SearchSequence, PhaseShiftCandidatesStopBelowTheUpperEnd) {
  struct Case {
    float L, H, S;
    int count;
  };
  for (const Case& c : {Case{0, 180, 10, 18}, Case{0, 10, 10, 1}, Case{10, 10, 5, 0}, Case{20, 10, 5, 0},
                        Case{0, 1, 0.1f, 10}, Case{0, 180, 0, 0}, Case{0, 180, -5, 0}, Case{30, 120, 7, 13}})
    EXPECT_EQ(phase_shift_candidate_count(c.L, c.H, c.S), c.count) << c.L << " " << c.H << " " << c.S;
  EXPECT_EXIT_STDOUT(phase_shift_candidate_count(0, 180, 1e-4f), 1, "Too many phase-shift candidates");
}

TEST(SearchSequence, CandidateChoiceFallsBackToTheBestScore) {
  // Fits of phase shift 0, 10, 20 and 30 degrees.
  const CtfFit a{{1, 1, 0, 0}, 0.30f}, b{{2, 2, 0, 10}, 0.50f}, c{{3, 3, 0, 20}, 0.50f}, d{{4, 4, 0, 30}, 0.40f};
  PhaseCandidateChoice by_score;
  for (const CtfFit& f : {a, b, c, d}) by_score.consider_score(f);
  EXPECT_TRUE(by_score.has_best);
  EXPECT_EQ(by_score.chosen().model.phase_shift, 10.0f) << "ties keep the first";

  PhaseCandidateChoice by_resolution;
  by_resolution.consider_resolution(a, 25.0f);
  by_resolution.consider_resolution(b, 12.0f);
  by_resolution.consider_resolution(c, 8.0f);
  by_resolution.consider_resolution(d, 8.0f);
  EXPECT_EQ(by_resolution.chosen().model.phase_shift, 20.0f) << "the finest limit, first among equals";

  PhaseCandidateChoice none_below;
  for (const CtfFit& f : {a, b, c, d}) none_below.consider_resolution(f, 20.0f);
  EXPECT_FALSE(none_below.has_best);
  EXPECT_EQ(none_below.chosen().model.phase_shift, 10.0f) << "the best-scoring candidate";

  PhaseCandidateChoice anti;
  anti.consider_score({{1, 1, 0, 0}, NAN});
  anti.consider_score({{1, 1, 0, 5}, -1.0f});
  EXPECT_FALSE(anti.has_best);
  EXPECT_EQ(anti.chosen().model.phase_shift, 0.0f);
}

TEST(RefineStart, ThreeCasesFirstMatchWins) {
  TestPara t(128, 1.0f);
  QUIB_Para& p = t.para;
  p.astm = 800;
  p.defS = 400;
  p.B_init = 120;
  p.B_err = 30;
  RefineStart start{};
  float &P = start.model.phase_shift, &U = start.model.defocus_u, &V = start.model.defocus_v, &A = start.model.angle;
  float &B = start.bfactor, &Perr = start.phase_step, &Derr = start.defocus_step, &Aerr = start.angle_step;
  float& Berr = start.bfactor_step;
  P = 7;
  Perr = 3;
  const auto start_around = [&](float D) {
    return quib_set_init_defUVA_for_2D_refine(start, refine_start_settings(p, 0), D);
  };
  quib_set_fixed_seed(3);
  EXPECT_EQ(start_around(20000), 3);
  EXPECT_EQ(U, 19600);
  EXPECT_EQ(V, 20400);
  EXPECT_TRUE(A >= 0 && A < 30) << A;
  EXPECT_EQ(P, 7) << "left as it was";
  EXPECT_EQ(Perr, 3);
  EXPECT_EQ(Derr, 400);
  EXPECT_EQ(Aerr, 30);
  EXPECT_EQ(B, 120);
  EXPECT_EQ(Berr, 30);
  const float A_first = A;
  start_around(20000);
  EXPECT_EQ(A, A_first) << "a fixed seed repeats the start angle";
  quib_clear_fixed_seed();

  p.refine_input_ctf = 1;
  p.ps_init = 45, p.defU_init = 15000, p.defV_init = 16000, p.defA_init = 70, p.B_init = 90;
  p.ps_err = 12, p.defU_err = 300, p.defV_err = 500, p.defA_err = 8;
  EXPECT_EQ(start_around(20000), 1);
  EXPECT_EQ(P, 45);
  EXPECT_EQ(U, 15000);
  EXPECT_EQ(V, 16000);
  EXPECT_EQ(A, 70);
  EXPECT_EQ(B, 90);
  EXPECT_EQ(Perr, 12);
  EXPECT_EQ(Derr, 400);
  EXPECT_EQ(Aerr, 8);

  p.input_ctfstar_set = 1;
  p.phase_shift_S = 6;
  p.init_ctfs[0] = CTF_INIT{1, 300, 2.7f, 0.1f, 33, 21000, 22000, 12, 60};
  std::string screen = captured_stdout([&] { EXPECT_EQ(start_around(9000), 2); });
  EXPECT_EQ(screen,
            "input PS= 33.000000 defocus_U= 21000.000000 defocus_V= 22000.000000  def_err= 400.000000  "
            "angle_azimuth= 12.000000  angle_err= 8.000000  \n");
  EXPECT_EQ(P, 33);
  EXPECT_EQ(B, 60);
  EXPECT_EQ(Perr, 6);
  EXPECT_TRUE(refines_input_ctf(refine_start_settings(p, 0)));

  p.init_ctfs[0].has_init = 0;
  EXPECT_FALSE(refines_input_ctf(refine_start_settings(p, 0)));
  EXPECT_EQ(start_around(9000), 3);
  EXPECT_EQ(U, 9000 - p.astm / 2);
}

TEST_F(SearchRefine, AbInitioRecoversTheCtfWithPhaseShiftZero) {
  TestPara t(512, 1.0f);
  Micrograph m(512, 1.0f, {21080, 21900, 25});
  const SequenceRun run = run_sequence(m, t.para);
  EXPECT_NEAR(run.ctf.defocus_u, 21080, 10.0);
  EXPECT_NEAR(run.ctf.defocus_v, 21900, 10.0);
  EXPECT_NEAR(run.ctf.angle, 25, 1.0);
  EXPECT_EQ(run.ctf.phase_shift, 0.0f);
  EXPECT_EQ(occurrences(run.screen, "  Final Values\n\n"), 1u);
  EXPECT_EQ(occurrences(run.screen, "phase shift ..."), 0u);
  // The work array holds the displayed model: CTF^2 E with B = 50 from 100 Angstrom to Nyquist + 0.1.
  DeviceBuffer<float> expected(m.work.size());
  const CtfSampling displayed{make_optics(300, 2.7f, 0.1f, 1.0f), 50.0f, RESO{100.0f, 2.1f}};
  hcuda_ctf_modsquare_simulate_2d_half(expected.get(), 257, 512, displayed, ctf_model_of(run.ctf));
  const std::vector<float> got = host_copy_of(m.work), want = host_copy_of(expected);
  for (size_t i = 0; i < want.size(); ++i) ASSERT_NEAR(got[i], want[i], 1e-4) << i;
  std::vector<float> copy = host_copy_of(m.measured);
  copy[256 * 257] = 0.0f;
  EXPECT_EQ(m.host, copy) << "the host buffer holds the spectrum, its zero frequency cleared by the 1D search";
}

TEST_F(SearchRefine, HighResolutionPassPrintsOnlyItsOwnResult) {
  TestPara t(512, 1.0f);
  t.para.do_Hres_ref = 1;
  Micrograph m(512, 1.0f, {15050, 15700, 60});
  FILE* log = tmpfile();
  SequenceRun run;
  run.screen = captured_stdout([&] {
    quib_1D_search_2D_refine(run.ctf, search_refine_settings(t.para, 0), m.host.data(), m.measured.get(), m.work.get(),
                             log);
  });
  fflush(log);
  const long log_size = ftell(log);
  fclose(log);
  EXPECT_GT(log_size, 0);
  EXPECT_EQ(occurrences(run.screen, "Final Values"), 1u);
  EXPECT_EQ(occurrences(run.screen, "  Final Values (Hres refine)\n\n"), 1u);
  EXPECT_NEAR(run.ctf.defocus_u, 15050, 10.0);
  EXPECT_NEAR(run.ctf.defocus_v, 15700, 10.0);
  EXPECT_NEAR(run.ctf.angle, 60, 1.0);
}

TEST_F(SearchRefine, InputPhaseShiftIsRefinedFromTheUsersValues) {
  TestPara t(512, 1.0f);
  QUIB_Para& p = t.para;
  p.refine_input_ctf = p.input_ctfstar_set = p.refine_input_ps = 1;
  p.phase_shift_S = 20;
  p.defU_err = p.defV_err = 200;
  p.defA_err = 10;
  p.init_ctfs[0] = CTF_INIT{1, 300, 2.7f, 0.1f, 40, 15100, 15400, 35, 150};
  Micrograph m(512, 1.0f, {15000, 15500, 40, 52});
  const SequenceRun run = run_sequence(m, p);
  EXPECT_EQ(run.screen.find("refining phase shift ... \n Phase_shift      def_U         def_V         Angle       "
                            "CCC        \n"),
            0u);
  EXPECT_NE(run.screen.find("input PS= 40.000000"), std::string::npos);
  EXPECT_NEAR(run.ctf.phase_shift, 52, 4.0);
  EXPECT_NEAR(run.ctf.defocus_u, 15000, 30.0);
  EXPECT_NEAR(run.ctf.defocus_v, 15500, 30.0);

  // Without values for this micrograph the sequence warns and starts from a 1D search.
  p.init_ctfs[0].has_init = 0;
  p.init_ctfs[0].phase_shift = 50;
  const SequenceRun fallback = run_sequence(m, p);
  EXPECT_NE(fallback.screen.find("No input CTF values for this micrograph; starting from a 1D defocus search!"),
            std::string::npos);
  EXPECT_NEAR(fallback.ctf.phase_shift, 52, 4.0);
  EXPECT_NEAR(fallback.ctf.defocus_u, 15000, 30.0);
}

TEST_F(SearchRefine, PhaseSearchFindsThePhasePlateShift) {
  TestPara t(256, 1.0f);
  QUIB_Para& p = t.para;
  p.do_phase_shift = 1;
  p.phase_shift_L = 0, p.phase_shift_H = 180, p.phase_shift_S = 30, p.phase_shift_T = 1;
  Micrograph m(256, 1.0f, {12000, 12400, 20, 75}, 0.2);
  const SequenceRun run = run_sequence(m, p);
  const std::string header =
      "searching phase shift ... \n Phase_shift      def_U         def_V         Angle       CCC        \n";
  EXPECT_EQ(run.screen.find(header), 0u);
  EXPECT_EQ(lines_in_layout(run.screen, "%12.2f %12.2f %12.2f %12.2f %12.6f \n", 5), 6u);
  EXPECT_NEAR(run.ctf.phase_shift, 75, 4.0);
  EXPECT_NEAR(run.ctf.defocus_u, 12000, 30.0);
  EXPECT_NEAR(run.ctf.defocus_v, 12400, 30.0);
}

TEST_F(SearchRefine, PhaseSearchWithoutCandidatesRefinesFromTheLowerEnd) {
  TestPara t(128, 1.0f);
  QUIB_Para& p = t.para;
  p.do_phase_shift = 1;
  p.phase_shift_L = 60, p.phase_shift_H = 60, p.phase_shift_S = 10;
  Micrograph m(128, 1.0f, {12000, 12400, 20, 60}, 0.1);
  const SequenceRun run = run_sequence(m, p);
  EXPECT_NE(run.screen.find("No phase shift lies in the search range; refining from --phase_shift_L!"),
            std::string::npos);
  EXPECT_NEAR(run.ctf.phase_shift, 60, 10.0);
}

TEST_F(SearchRefine, PhaseSearchByResolutionLimitPrintsIt) {
  TestPara t(256, 1.0f);
  QUIB_Para& p = t.para;
  p.do_phase_shift = 1;
  p.phase_shift_L = 30, p.phase_shift_H = 120, p.phase_shift_S = 30, p.phase_shift_T = 2;
  Micrograph m(256, 1.0f, {12000, 12400, 20, 60}, 0.2);
  const SequenceRun run = run_sequence(m, p);
  EXPECT_EQ(run.screen.find("searching phase shift ... \n Phase_shift      def_U         def_V         Angle       "
                            "CCC          Res_limit\n"),
            0u);
  EXPECT_EQ(lines_in_layout(run.screen, "%12.2f %12.2f %12.2f %12.2f %12.6f %12.4f \n", 6), 3u);
  EXPECT_NEAR(run.ctf.phase_shift, 60, 5.0);
}

}  // namespace
