// The equiphase average: against a plain evaluation of its definition and the directional walk its
// weights stand for, its band ends, what it is for (following the x-axis CTF of an astigmatic
// spectrum), and its robustness.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "backend/memory.h"
#include "ctf/epa_profile.h"
#include "epa_reference.h"
#include "epa_test_spectra.h"
#include "spectrum/rotational_average.h"

namespace {

std::vector<float> epa_of(const std::vector<float>& spectrum, const TestModel& m, int ov, float resL, float resH) {
  DeviceBuffer<float> in = device_copy_of(spectrum);
  DeviceBuffer<float> out(epa_profile_length(m.nh(), ov));
  hcuda_2d_half_EPA_X_res(in.get(), out.get(), ov, m.nh(), m.N, m.optics(), m.model(), RESO{resL, resH});
  return host_copy_of(out);
}

TEST(EpaProfile, LengthIsOversampledHalfWidth) {
  EXPECT_EQ(epa_profile_length(257, 4), 1025);  // box 512
  EXPECT_EQ(epa_profile_length(513, 4), 2049);  // box 1024
  EXPECT_EQ(epa_profile_length(257, 1), 257);
}

// Noisy astigmatic spectra (the noise makes every interpolation error visible) against the
// definition evaluated point by point in double precision, for both the single and the paired
// walk; Cs = 0 takes the linear phase inversion.
TEST(EpaProfile, MatchesThePlainEvaluationOfItsDefinition) {
  struct Case {
    TestModel m;
    int ov;
    float resL, resH;
  };
  const Case cases[] = {
      {{64, 1.0f, 300, 2.7f, 0.1f, 12000, 9000, 30}, 4, 50, 2.1f},
      {{64, 1.3f, 200, 2.0f, 0.07f, 15000, 18000, 100}, 4, 40, 3.0f},
      {{48, 1.0f, 300, 0.0f, 0.1f, 9000, 11000, -20}, 4, 30, 2.1f},  // Cs = 0
      {{64, 1.0f, 300, 2.7f, 0.1f, 20000, 20000, 0}, 1, 100, 2.5f},  // no oversampling, no astigmatism
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "N " << c.m.N << " Cs " << c.m.Cs << " ov " << c.ov << " A " << c.m.A);
    std::vector<float> spectrum = ctf_spectrum(c.m);
    add_noise(spectrum, 0.3f, 7);
    std::vector<float> second(spectrum.size());
    for (size_t i = 0; i < spectrum.size(); ++i) second[i] = 2.0f - 0.5f * spectrum[i] + 0.01f * (i % 13);
    const std::vector<float> expected =
        reference_epa(spectrum, c.ov, c.m.apix, c.m.nh(), c.m.N, c.m.kV, c.m.Cs, c.m.U, c.m.V, c.m.A, c.resL, c.resH);
    const std::vector<float> expected2 =
        reference_epa(second, c.ov, c.m.apix, c.m.nh(), c.m.N, c.m.kV, c.m.Cs, c.m.U, c.m.V, c.m.A, c.resL, c.resH);
    const std::vector<float> single = epa_of(spectrum, c.m, c.ov, c.resL, c.resH);

    const int M = epa_profile_length(c.m.nh(), c.ov);
    DeviceBuffer<float> d1 = device_copy_of(spectrum), d2 = device_copy_of(second), o1(M), o2(M);
    const float* in[2] = {d1.get(), d2.get()};
    float* const out[2] = {o1.get(), o2.get()};
    hcuda_2d_half_EPA_X_res_pair(in, out, c.ov, c.m.nh(), c.m.N, c.m.optics(), c.m.model(), RESO{c.resL, c.resH});
    const std::vector<float> pair1 = host_copy_of(o1), pair2 = host_copy_of(o2);
    int nonzero = 0;
    for (int i = 0; i < M; ++i) {
      EXPECT_NEAR(single[i], expected[i], 2e-4) << "sample " << i;
      EXPECT_EQ(pair1[i], single[i]) << "sample " << i;
      EXPECT_NEAR(pair2[i], expected2[i], 2e-4) << "sample " << i;
      nonzero += expected[i] != 0.0f;
    }
    EXPECT_GT(nonzero, M / 2);
  }
}

// Directions within one bin share their ring radii and spreads: on a larger box with astigmatism of
// half the mean defocus (where the radius changes fastest from one direction to the next) the
// profile still matches the definition evaluated for every pixel's own direction.
TEST(EpaProfile, DirectionBinsKeepStrongAstigmatismExact) {
  const TestModel m{256, 1.0f, 300, 2.7f, 0.1f, 6000, 10000, 30};
  std::vector<float> spectrum = ctf_spectrum(m);
  add_noise(spectrum, 0.3f, 11);
  const std::vector<float> expected =
      reference_epa(spectrum, 4, m.apix, m.nh(), m.N, m.kV, m.Cs, m.U, m.V, m.A, 40.0f, 2.2f);
  const std::vector<float> epa = epa_of(spectrum, m, 4, 40.0f, 2.2f);
  for (size_t i = 0; i < epa.size(); ++i) ASSERT_NEAR(epa[i], expected[i], 2e-4) << "sample " << i;
}

// The visiting order is kept per geometry: geometries taken in turn give, each time, the profile of
// their first run, bit for bit.
TEST(EpaProfile, GeometriesTakenInTurnKeepTheirProfiles) {
  const TestModel a{64, 1.0f, 300, 2.7f, 0.1f, 12000, 9000, 30}, b{48, 1.2f, 300, 2.7f, 0.1f, 9000, 11000, -20};
  const std::vector<float> spectrum_a = ctf_spectrum(a), spectrum_b = ctf_spectrum(b);
  const std::vector<float> first_a = epa_of(spectrum_a, a, 4, 50, 2.1f), first_b = epa_of(spectrum_b, b, 4, 50, 3.0f);
  for (int turn = 0; turn < 3; ++turn) {
    EXPECT_EQ(epa_of(spectrum_a, a, 4, 50, 2.1f), first_a) << "turn " << turn;
    EXPECT_EQ(epa_of(spectrum_b, b, 4, 50, 3.0f), first_b) << "turn " << turn;
  }
}

// The pixel weights stand for the average over evenly spaced directions of the bilinearly
// interpolated spectrum, walked in half-pixel steps: on a noisy astigmatic spectrum of realistic
// size the two agree to within a few percent of the profile's spread (the walk's coarse radial
// steps are the larger part of the difference).
TEST(EpaProfile, StandsForTheWalkAlongEvenlySpacedDirections) {
  const TestModel m{512, 1.3f, 300, 2.7f, 0.1f, 15000, 17000, 100};
  const float resL = 50.0f, resH = 2.7f;
  std::vector<float> spectrum = ctf_spectrum(m);
  add_noise(spectrum, 0.3f, 11);
  const std::vector<float> walked =
      reference_walk_epa(spectrum, 1, m.apix, m.nh(), m.N, m.kV, m.Cs, m.U, m.V, m.A, resL, resH);
  const std::vector<float> epa = epa_of(spectrum, m, 1, resL, resH);
  double squares = 0;
  int inside = 0;
  for (int i = 0; i < m.nh(); ++i) {
    EXPECT_NEAR(epa[i], walked[i], 0.01) << "sample " << i;
    squares += (epa[i] - walked[i]) * (epa[i] - walked[i]);
    inside += walked[i] != 0.0f;
  }
  EXPECT_GT(inside, m.nh() / 2);
  EXPECT_LT(std::sqrt(squares / inside), 0.002);
}

// Samples at s = 1/resL and s = 1/resH exactly (s_i = i / 2048 with apix 1, box 512, ov 4) are 0;
// their inner neighbours are not.
TEST(EpaProfile, SamplesOnEitherBandEndAreZero) {
  const TestModel m{512, 1.0f, 300, 2.7f, 0.1f, 10000, 9000, 45};
  std::vector<float> spectrum(static_cast<size_t>(m.nh()) * m.N, 1.0f);
  const std::vector<float> epa = epa_of(spectrum, m, 4, 32.0f, 4.0f);
  ASSERT_EQ(epa.size(), 1025u);
  EXPECT_EQ(epa[64], 0.0f);
  EXPECT_EQ(epa[512], 0.0f);
  EXPECT_NEAR(epa[65], 1.0f, 1e-5);
  EXPECT_NEAR(epa[511], 1.0f, 1e-5);
  for (int i : {0, 10, 63, 513, 1024}) EXPECT_EQ(epa[i], 0.0f) << i;
}

// The point of the EPA: on a strongly astigmatic spectrum it follows the 1D CTF of the x-axis
// defocus, while the plain rotational average smears the rings.
TEST(EpaProfile, FollowsTheXAxisCtfWhereTheRotationalAverageDoesNot) {
  const TestModel m{256, 1.5f, 300, 2.7f, 0.1f, 21000, 15000, 35};
  const std::vector<float> spectrum = ctf_spectrum(m);
  const float resL = 40.0f, resH = 4.0f;
  const std::vector<float> epa = epa_of(spectrum, m, 1, resL, resH);
  std::vector<float> rotational(m.nh());
  rotational_average_2d_half(spectrum.data(), rotational.data(), m.nh(), m.N);
  const std::vector<float> ctf = ctf_profile(m, m.nh(), resL, resH);
  const int first = static_cast<int>(2 * (m.nh() - 1) * m.apix / resL) + 1;
  const int end = static_cast<int>(2 * (m.nh() - 1) * m.apix / resH);
  EXPECT_GT(pearson(epa, ctf, first, end), 0.95);
  EXPECT_LT(pearson(rotational, ctf, first, end), 0.5);
}

// Nothing undefined leaves the kernel: overfocus, defocus 0, mixed signs, a huge Cs, Cs = 0 with
// zero defocus, and samples beyond the phase maximum all give finite values.
TEST(EpaProfile, NoNotANumberForAnyModel) {
  const float models[][4] = {
      // U, V, A, Cs
      {-10000, -12000, 10, 2.7f}, {0, 0, 0, 2.7f}, {8000, -3000, 60, 2.7f},
      {500, 400, 20, 2.7f},  // the phase turns back well inside the band
      {20000, 20000, 0, 500.0f},  {0, 0, 0, 0.0f}, {1e9f, 1e9f, 0, 2.7f},
  };
  for (const auto& p : models) {
    const TestModel m{64, 1.0f, 300, p[3], 0.1f, p[0], p[1], p[2]};
    SCOPED_TRACE(testing::Message() << "U " << m.U << " V " << m.V << " Cs " << m.Cs);
    std::vector<float> spectrum(static_cast<size_t>(m.nh()) * m.N);
    for (size_t i = 0; i < spectrum.size(); ++i) spectrum[i] = static_cast<float>(i % 7);
    for (float v : epa_of(spectrum, m, 4, 50, 2.1f)) ASSERT_TRUE(std::isfinite(v));
  }
}

}  // namespace
