// Accuracy of the whole program on simulated micrographs whose CTF is known: ab-initio defocus,
// astigmatism and angle; phase-plate data with the phase search; refinement of given values from
// the command line and from a STAR file; a movie against its frame sum; and the resolution limit
// as the B-factor and the noise rise. Each case prints its truth, estimate and error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "quib_runs.h"

namespace {

using quib_runs::kStarName;
using quib_runs::micrograph_params;
using quib_runs::run_quib;
using quib_runs::star_rows;
using quib_runs::write_simulated;

struct Fit {
  double U = NAN, V = NAN, angle = NAN, phase = NAN, resolution = NAN;
  double mean() const { return (U + V) / 2.0; }
  double astigmatism() const { return std::fabs(U - V); }
};

// The direction of the larger defocus, in degrees; only its value modulo 180 has a meaning.
double larger_defocus_axis(double U, double V, double angle) { return U >= V ? angle : angle + 90.0; }

// a - b for two axes, brought into [-90, 90).
double axis_difference(double a, double b) {
  const double d = std::fmod(a - b, 180.0);
  const double in_half_turn = d < 0.0 ? d + 180.0 : d;
  return in_half_turn >= 90.0 ? in_half_turn - 180.0 : in_half_turn;
}

std::string options_for(const SimParams& p) {
  char text[128];
  snprintf(text, sizeof text, "--apix %g --kV %g --boxsize 512 --seed 1 ", p.apix, p.kV);
  return text;
}

// Runs quib in `dir` and returns the result in the one row of its STAR file.
Fit run_and_read(const TempDir& dir, const std::string& arguments) {
  const CommandResult r = run_quib(dir, arguments);
  EXPECT_EQ(r.status, 0) << r.output;
  const std::vector<quib_runs::StarRow> rows = star_rows(dir.file(kStarName));
  EXPECT_EQ(rows.size(), 1u) << r.output;
  Fit fit;
  if (rows.size() != 1 || rows[0].values.size() < 10) return fit;
  const std::vector<double>& v = rows[0].values;
  fit.U = v[0];
  fit.V = v[1];
  fit.angle = v[2];
  fit.resolution = v[9];
  fit.phase = v.size() > 10 ? v[10] : 0.0;
  return fit;
}

// Simulates p and determines its CTF with the given further options.
Fit determine(const SimParams& p, const std::string& options) {
  TempDir dir;
  write_simulated(dir.file("m.mrc"), p);
  return run_and_read(dir, options_for(p) + options + " m.mrc");
}

struct AbInitioCase {
  int size;
  float apix, kV, defU, defV, angle;
  uint64_t seed;
};

TEST(E2eAccuracy, AbInitioDefocusAstigmatismAndAngle) {
  // Images of 0.8 A pixels are 2048 wide: at 1024 their spectrum is too noisy for the astigmatism
  // tolerance. 40000 A is paired with pixels of 1 A or more: with 0.8 A pixels a 512 box samples
  // the rings near 4 A fewer than twice per period, and such data need a larger box.
  const AbInitioCase cases[] = {
      {1024, 1.0f, 300, 5000, 5000, 0, 11},     {1024, 1.0f, 300, 5300, 4700, 40, 12},
      {2048, 0.8f, 300, 10000, 9000, 120, 13},  {1024, 1.5f, 300, 20000, 21000, 75, 14},
      {1024, 2.0f, 300, 40000, 38000, 10, 15},  {1024, 1.0f, 300, 40000, 39000, 135, 16},
      {1024, 1.2f, 200, 15000, 14000, 150, 11}, {1024, 2.0f, 200, 8000, 7000, 95, 12},
      {2048, 1.0f, 200, 30000, 29000, 30, 13},  {1024, 1.5f, 200, 40000, 40000, 0, 14},
      {2048, 0.8f, 200, 6000, 5200, 170, 15},
  };
  for (const AbInitioCase& c : cases) {
    SimParams p = micrograph_params(c.size, c.apix, c.defU, c.defV, c.angle, c.seed);
    p.kV = c.kV;
    const Fit fit = determine(p, "");
    const double true_mean = (c.defU + c.defV) / 2.0, true_astigmatism = std::fabs(c.defU - c.defV);
    const double angle_error =
        axis_difference(larger_defocus_axis(fit.U, fit.V, fit.angle), larger_defocus_axis(c.defU, c.defV, c.angle));
    printf(
        "[ measured ] %4d px %.1f A %3.0f kV  truth U %.0f V %.0f A %.0f  estimate U %.1f V %.1f A %.2f  "
        "error mean %+.1f astigmatism %+.1f axis %+.2f\n",
        c.size, c.apix, c.kV, c.defU, c.defV, c.angle, fit.U, fit.V, fit.angle, fit.mean() - true_mean,
        fit.astigmatism() - true_astigmatism, angle_error);
    SCOPED_TRACE(testing::Message() << "truth U " << c.defU << " V " << c.defV << " angle " << c.angle << ", " << c.apix
                                    << " A, " << c.kV << " kV");
    EXPECT_NEAR(fit.mean(), true_mean, std::max(50.0, 0.005 * true_mean));
    EXPECT_NEAR(fit.astigmatism(), true_astigmatism, 100.0);
    if (true_astigmatism >= 500.0) {
      EXPECT_LE(std::fabs(angle_error), 5.0);
    }
  }
}

struct PhaseCase {
  float apix, kV, defU, defV, angle, phase;
  uint64_t seed;
};

TEST(E2eAccuracy, PhasePlateShiftFoundByThePhaseSearch) {
  const PhaseCase cases[] = {
      {1.5f, 300, 5000, 4600, 60, 30, 11}, {1.5f, 300, 4000, 3600, 45, 75, 12}, {1.5f, 300, 5000, 4400, 30, 90, 13},
      {1.5f, 300, 8000, 7400, 45, 60, 14}, {1.0f, 200, 6000, 5600, 0, 120, 15},
  };
  for (const PhaseCase& c : cases) {
    SimParams p = micrograph_params(2048, c.apix, c.defU, c.defV, c.angle, c.seed);
    p.kV = c.kV;
    p.phase_shift = c.phase;
    const Fit fit = determine(p, "--phase_shift_L 0 --phase_shift_H 180 --phase_shift_S 10");
    const double true_mean = (c.defU + c.defV) / 2.0;
    printf(
        "[ measured ] phase plate %.1f A %3.0f kV  truth U %.0f V %.0f P %.0f  estimate U %.1f V %.1f P %.2f  "
        "error mean %+.1f phase %+.2f\n",
        c.apix, c.kV, c.defU, c.defV, c.phase, fit.U, fit.V, fit.phase, fit.mean() - true_mean, fit.phase - c.phase);
    SCOPED_TRACE(testing::Message() << "truth U " << c.defU << " V " << c.defV << " phase " << c.phase);
    EXPECT_NEAR(fit.phase, c.phase, 10.0);
    EXPECT_NEAR(fit.mean(), true_mean, std::max(50.0, 0.01 * true_mean));
  }
}

void expect_same_fit(const Fit& fit, const Fit& reference, const char* start) {
  printf("[ measured ] refined from %s: U %.2f V %.2f A %.2f, against ab initio U %+.2f V %+.2f A %+.2f\n", start,
         fit.U, fit.V, fit.angle, fit.U - reference.U, fit.V - reference.V, fit.angle - reference.angle);
  EXPECT_NEAR(fit.U, reference.U, 10.0) << start;
  EXPECT_NEAR(fit.V, reference.V, 10.0) << start;
  EXPECT_NEAR(fit.angle, reference.angle, 1.5) << start;
}

TEST(E2eAccuracy, RefiningGivenValuesConvergesToTheAbInitioResult) {
  TempDir dir;
  SimParams p = micrograph_params(1024, 1.0f, 21000, 19000, 30, 21);
  write_simulated(dir.file("m.mrc"), p);
  const std::string options = options_for(p) + "--refine_input_ctf ";
  const Fit ab_initio = run_and_read(dir, options_for(p) + "m.mrc");
  ASSERT_EQ(rename(dir.file(kStarName).c_str(), dir.file("earlier.star").c_str()), 0);

  // The same start, 250 A and 6 degrees away from the answer, on the command line and in a STAR file.
  const double U0 = std::round(ab_initio.U + 250.0), V0 = std::round(ab_initio.V - 250.0),
               A0 = std::round(ab_initio.angle - 6.0);
  char text[320];
  snprintf(text, sizeof text, "--defU_init %.0f --defV_init %.0f --defA_init %.0f m.mrc", U0, V0, A0);
  const Fit from_command_line = run_and_read(dir, options + text);
  FILE* start = fopen(dir.file("start.star").c_str(), "w");
  ASSERT_NE(start, nullptr);
  fprintf(start,
          "\ndata_\n\nloop_\n_rlnMicrographName #1\n_rlnDefocusU #2\n_rlnDefocusV #3\n_rlnDefocusAngle #4\n"
          "m.mrc %.0f %.0f %.0f\n",
          U0, V0, A0);
  fclose(start);
  const Fit from_star = run_and_read(dir, options + "--input_ctfstar start.star");
  const Fit from_earlier_run = run_and_read(dir, options + "--input_ctfstar earlier.star");

  expect_same_fit(from_command_line, ab_initio, "the command line");
  expect_same_fit(from_star, ab_initio, "a STAR file");
  expect_same_fit(from_earlier_run, ab_initio, "the earlier run's STAR file");
  // Both routes give the refinement the same start and steps.
  EXPECT_DOUBLE_EQ(from_star.U, from_command_line.U);
  EXPECT_DOUBLE_EQ(from_star.V, from_command_line.V);
  EXPECT_DOUBLE_EQ(from_star.angle, from_command_line.angle);
}

TEST(E2eAccuracy, MovieGivesTheDefocusOfItsFrameSum) {
  TempDir dir;
  SimParams p = micrograph_params(1024, 1.0f, 15000, 14200, 60, 31);
  p.nz = 16;
  // 10 electrons per square Angstrom in each frame: with much less a frame's own spectrum hardly
  // shows rings, and the sum of frame spectra scatters far more than the spectrum of the sum.
  p.dose = 160;
  const SimResult movie = simulate_micrograph(p);
  write_mrc_frames(dir.file("movie.mrcs"), movie.frames, p.nx, p.ny, p.nz, 2, p.apix);
  const size_t pixels = static_cast<size_t>(p.nx) * p.ny;
  std::vector<float> sum(pixels, 0.0f);
  for (int f = 0; f < p.nz; ++f)
    for (size_t i = 0; i < pixels; ++i) sum[i] += movie.frames[f * pixels + i];
  write_mrc_frames(dir.file("sum.mrc"), sum, p.nx, p.ny, 1, 2, p.apix);

  const std::string options = options_for(p);
  const Fit frame_sum = run_and_read(dir, options + "sum.mrc");
  const Fit coherent = run_and_read(dir, options + "--mdef_ave_type 0 movie.mrcs");
  const Fit incoherent = run_and_read(dir, options + "--mdef_ave_type 1 movie.mrcs");
  printf(
      "[ measured ] 16-frame movie, truth U 15000 V 14200  frame sum U %.1f V %.1f  mdef_ave_type 0 U %.1f V %.1f  "
      "mdef_ave_type 1 U %.1f V %.1f\n",
      frame_sum.U, frame_sum.V, coherent.U, coherent.V, incoherent.U, incoherent.V);
  // The coherent average is the spectrum of the frame sum itself.
  EXPECT_NEAR(coherent.U, frame_sum.U, 2.0);
  EXPECT_NEAR(coherent.V, frame_sum.V, 2.0);
  // Summing the frames' spectra keeps the rings but not the same noise.
  EXPECT_NEAR(incoherent.mean(), frame_sum.mean(), 50.0);
  EXPECT_NEAR(incoherent.astigmatism(), frame_sum.astigmatism(), 100.0);
  EXPECT_NEAR(frame_sum.mean(), 14600.0, 73.0);
}

// Resolution limits of one micrograph simulated at each of the settings, in order.
template <class Set>
std::vector<double> resolution_limits(const std::vector<float>& settings, Set set) {
  std::vector<double> limits;
  for (float value : settings) {
    SimParams p = micrograph_params(2048, 1.0f, 15000, 14200, 60, 41);
    set(p, value);
    limits.push_back(determine(p, "").resolution);
  }
  return limits;
}

void expect_rising(const std::vector<double>& limits, const char* what) {
  printf("[ measured ] resolution limits as the %s rises:", what);
  for (double limit : limits) printf(" %.3f", limit);
  printf(" A\n");
  for (size_t k = 1; k < limits.size(); ++k) EXPECT_GT(limits[k], limits[k - 1]) << what << " step " << k;
}

TEST(E2eAccuracy, ResolutionLimitWorsensWithBfactorAndNoise) {
  expect_rising(resolution_limits({20, 100, 250}, [](SimParams& p, float b) { p.bfac = b; }), "B-factor");
  // Only a large step in the noise: between nearer doses the estimate scatters more than it moves.
  expect_rising(resolution_limits({300, 2},
                                  [](SimParams& p, float dose) {
                                    p.bfac = 60;
                                    p.dose = dose;
                                  }),
                "noise (dose 300 to 2 per square A)");
}

}  // namespace
