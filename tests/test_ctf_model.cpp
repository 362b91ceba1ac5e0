// The CTF model: wavelength and formula against hand values, the records' defaults and helpers,
// the angle conventions, and the simulation kernels against a direct double-precision evaluation.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "backend/memory.h"
#include "core/ctf_formula.h"
#include "core/ctf_model.h"
#include "ctf/ctf_simulate.h"

namespace {

// The optics of the reference evaluation, with a phase shift P and an envelope B-factor B.
struct ReferenceOptics {
  double kV, Cs, ac, P, B;
};

// The CTF with envelope written as sin(chi + asin w), all in double precision.
double reference_ctf(const ReferenceOptics& o, double Z, double s) {
  const double volts = 1000.0 * o.kV;
  const double lambda = 12.264325 / std::sqrt(volts * (1.0 + 0.978466e-6 * volts));
  const double gamma = M_PI * lambda * Z * s * s - M_PI / 2 * o.Cs * 1e7 * std::pow(lambda, 3) * std::pow(s, 4);
  return std::sin(gamma + o.P * M_PI / 180.0 + std::asin(o.ac));
}

double reference_envelope(const ReferenceOptics& o, double s) { return std::exp(-o.B * s * s / 4.0); }

TEST(CtfFormula, WavelengthAndValuesAgainstHandComputation) {
  EXPECT_NEAR(kV_to_lambda(300.0f), 0.019687, 1e-6);
  EXPECT_NEAR(kV_to_lambda(200.0f), 0.025079, 1e-6);
  // 300 kV, Cs 2.7 mm, Z 20000 Angstrom, s 0.1/Angstrom: gamma = 12.3377298 rad.
  const float lambda = kV_to_lambda(300.0f);
  EXPECT_NEAR(ctf_gamma(lambda, 20000.0f, 2.7f, 0.1f), 12.3377298, 2e-5);
  EXPECT_NEAR(ctf_at(lambda, 20000.0f, 2.7f, 0.0f, 0.0f, 0.1f), -0.2266540, 2e-5) << "w = 0 is sin(chi)";
  EXPECT_NEAR(ctf_at(lambda, 20000.0f, 2.7f, 0.0f, 1.0f, 0.1f), 0.9739754, 2e-5) << "w = 1 is cos(chi)";
  EXPECT_NEAR(ctf_at(lambda, 20000.0f, 2.7f, 90.0f, 0.0f, 0.1f), 0.9739754, 2e-5) << "90 degrees of phase shift";
  EXPECT_NEAR(ctf_envelope(100.0f, 0.2f), std::exp(-1.0), 1e-7);
}

TEST(CtfFormula, EffectiveDefocusFollowsTheAstigmatismAngle) {
  const double pi = M_PI;
  EXPECT_NEAR(effective_defocus(10000, 20000, 30, static_cast<float>(30 * pi / 180)), 10000, 0.01);
  EXPECT_NEAR(effective_defocus(10000, 20000, 30, static_cast<float>(120 * pi / 180)), 20000, 0.01);
  EXPECT_NEAR(effective_defocus(10000, 20000, 30, static_cast<float>(75 * pi / 180)), 15000, 0.01);
}

TEST(CtfFormula, FrequencyAtGammaInvertsThePhase) {
  const float lambda = kV_to_lambda(300.0f);
  for (float g : {0.5f, 3.0f, 12.3377298f, 40.0f}) {
    const float s = ctf_frequency_at_gamma(lambda, 20000.0f, 2.7f, g);
    EXPECT_NEAR(ctf_gamma(lambda, 20000.0f, 2.7f, s), g, 2e-5 * g) << g;
  }
  EXPECT_NEAR(ctf_frequency_at_gamma(lambda, 20000.0f, 2.7f, 12.3377298f), 0.1f, 1e-6) << "the smaller root";
  EXPECT_EQ(ctf_frequency_at_gamma(lambda, 20000.0f, 2.7f, 0.0f), 0.0f);
  // Without spherical aberration gamma = pi lambda Z s^2.
  const float s = ctf_frequency_at_gamma(lambda, 20000.0f, 0.0f, 5.0f);
  EXPECT_NEAR(s, std::sqrt(5.0 / (M_PI * lambda * 20000.0)), 1e-7);
  // The largest gamma at this defocus is c^2 / (4k), about 1174 rad; beyond it there is no root,
  // nor for a negative phase.
  EXPECT_TRUE(std::isnan(ctf_frequency_at_gamma(lambda, 20000.0f, 2.7f, 1200.0f)));
  EXPECT_TRUE(std::isnan(ctf_frequency_at_gamma(lambda, 20000.0f, 2.7f, -1.0f)));
}

TEST(CtfRecords, DefaultsAndConversion) {
  const CTF_INFO d = ctf2d_default();
  EXPECT_EQ(d.kV, 300.0f);
  EXPECT_EQ(d.Cs, 2.7f);
  EXPECT_EQ(d.ac, 0.1f);
  EXPECT_EQ(d.bfactor, 150.0f);
  EXPECT_EQ(d.phase_shift + d.defocus_u + d.defocus_v + d.angle, 0.0f);

  struct Case {
    float U, V;
    int flag;
  };
  const Case cases[] = {{20000, 21000, 1}, {0, 21000, 0}, {20000, 0, 0}, {0, 0, 0}, {-5000, 300, 1}};
  for (const Case& c : cases) {
    CTF_INFO info = ctf2d_default();
    info.set_PUVAB(12.5f, c.U, c.V, 33.0f, 80.0f);
    const CTF_INIT init = ctf2d_to_ctfinit(info);
    EXPECT_EQ(init.has_init, c.flag) << c.U << " " << c.V;
    EXPECT_EQ(init.defocus_u, c.U);
    EXPECT_EQ(init.defocus_v, c.V);
    EXPECT_EQ(init.phase_shift, 12.5f);
    EXPECT_EQ(init.angle, 33.0f);
    EXPECT_EQ(init.bfactor, 80.0f);
    EXPECT_EQ(init.kV, 300.0f);
    EXPECT_EQ(init.Cs, 2.7f);
    EXPECT_EQ(init.ac, 0.1f);
  }
}

TEST(CtfRecords, RefinementControlDefaultsAndSwitches) {
  CTF_REF_CONTROL c;
  ctf_ref_control_init(c);
  EXPECT_EQ(c.angle_tolerance, 0.5f);
  EXPECT_EQ(c.defocus_tolerance, 2.0f);
  EXPECT_EQ(c.phase_tolerance, 0.5f);
  const int32_t expected[] = {0, 2, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1};
  const int32_t got[] = {
      c.angle_scan,         c.angle_scan_count,     c.refine_defocus,    c.refine_astigmatism,    c.refine_angle,
      c.refine_phase_shift, c.high_resolution_pass, c.defocus_converged, c.astigmatism_converged, c.angle_converged,
      c.phase_converged,    c.print_to_screen,      c.write_to_log};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(got[i], expected[i]) << "integer field " << i;
  c.set_PHSL(1, 1, 0, 0);
  EXPECT_EQ(c.refine_phase_shift + c.high_resolution_pass, 2);
  EXPECT_EQ(c.print_to_screen + c.write_to_log, 0);
  EXPECT_EQ(c.refine_angle, 1);
}

TEST(CtfAngles, PeriodicEquivalentAndHalfTurnReduction) {
  const float table[][2] = {{90, -90}, {135, -45},     {-90, -90},  {-270, -90}, {270, -90},
                            {0, 0},    {89.5f, 89.5f}, {-450, -90}, {725, 5},    {-91, 89}};
  for (const auto& row : table) EXPECT_FLOAT_EQ(hd_mod_angle_m90_p90(row[0]), row[1]) << row[0];
  EXPECT_FLOAT_EQ(hd_periodic_equivalent(370.0f, 360.0f, 0.0f), 10.0f) << "bounds given in reverse";
  EXPECT_EQ(hd_periodic_equivalent(7.0f, 3.0f, 3.0f), 7.0f) << "an empty period changes nothing";
  // Just below 0, x + 360 rounds to 360 itself, which belongs to the next period.
  const float wrapped = hd_periodic_equivalent(-1e-6f, 0.0f, 360.0f);
  EXPECT_GE(wrapped, 0.0f);
  EXPECT_LT(wrapped, 360.0f);
}

TEST(CtfAngles, FormatUVAKeepsAngleInZeroToNinety) {
  struct Case {
    float U, V, A;
    float U_out, V_out, A_out;
  };
  const Case cases[] = {
      {20000, 50000, 120, 50000, 20000, 30},   {20000, 50000, 45, 20000, 50000, 45},
      {20000, 50000, -30, 50000, 20000, 60},   {20000, 50000, 90, 50000, 20000, 0},
      {20000, 50000, 0, 20000, 50000, 0},      {20000, 50000, 200, 20000, 50000, 20},
      {20000, 50000, -1e-6f, 20000, 50000, 0},
  };
  for (const Case& c : cases) {
    float U = c.U, V = c.V, A = c.A;
    quib_format_UVA(U, V, A);
    EXPECT_EQ(U, c.U_out) << c.A;
    EXPECT_EQ(V, c.V_out) << c.A;
    EXPECT_NEAR(A, c.A_out, 1e-4) << c.A;
  }
}

TEST(HalfSpectrum, PixelGeometry) {
  // nh 9, ny 16: zero frequency at (0, 8), s = r / 16 for apix 1.
  const HalfSpectrumPixel zero = half_spectrum_pixel(0, 8, 9, 16, 1.0f);
  EXPECT_EQ(zero.r, 0.0f);
  EXPECT_EQ(zero.s, 0.0f);
  const HalfSpectrumPixel p = half_spectrum_pixel(3, 4, 9, 16, 2.0f);
  EXPECT_EQ(p.r, 5.0f);
  EXPECT_EQ(p.s, 5.0f / 32.0f);
  EXPECT_FLOAT_EQ(p.theta, static_cast<float>(std::atan2(-4.0, 3.0)));
  EXPECT_EQ(profile_frequency(16, 17, 1.5f), 16.0f / 48.0f);
}

// A small half spectrum: N = 16 (nh 9, ny 16), apix 1, so s = r / 16; band [16, 4] Angstrom covers
// 1 <= r <= 4 pixels with both ends exactly representable.
constexpr int kNh = 9, kNy = 16;
constexpr float kApix = 1.0f, kResL = 16.0f, kResH = 4.0f;
const ReferenceOptics kOptics = {300.0, 2.7, 0.07, 20.0, 100.0};

// kOptics as the kernels take them, at pixel size apix, with its envelope and the band.
CtfSampling sampling_of(float apix, float resL, float resH) {
  const Optics optics = make_optics(kOptics.kV, kOptics.Cs, kOptics.ac, apix);
  return CtfSampling{optics, static_cast<float>(kOptics.B), RESO{resL, resH}};
}

std::vector<double> reference_half(double U, double V, double A, bool squared) {
  std::vector<double> out(kNh * kNy, 0.0);
  for (int y = 0; y < kNy; ++y)
    for (int x = 0; x < kNh; ++x) {
      const double dy = y - kNy / 2, s = std::hypot(x, dy) / (2.0 * (kNh - 1) * kApix);
      if (s < 1.0 / kResL || s > 1.0 / kResH) continue;
      const double phi = std::atan2(dy, x) - A * M_PI / 180.0;
      const double Z = U * std::cos(phi) * std::cos(phi) + V * std::sin(phi) * std::sin(phi);
      const double ctf = reference_ctf(kOptics, Z, s);
      out[y * kNh + x] = (squared ? ctf * ctf : std::fabs(ctf)) * reference_envelope(kOptics, s);
    }
  return out;
}

void expect_matches(const std::vector<float>& got, const std::vector<double>& expected, double tolerance) {
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i], expected[i], tolerance) << "element " << i;
    EXPECT_EQ(got[i] == 0.0f, expected[i] == 0.0) << "band membership of element " << i;
  }
}

TEST(CtfSimulate, HalfSpectrumKernelsMatchDirectEvaluation) {
  const float U = 18000, V = 23000, A = 30;
  const size_t size = kNh * kNy;
  DeviceBuffer<float> out(size);
  const CtfSampling sampling = sampling_of(kApix, kResL, kResH);
  const CtfModel model{U, V, A, static_cast<float>(kOptics.P)};
  hcuda_ctf_mod_simulate_2d_half(out.get(), kNh, kNy, sampling, model);
  const std::vector<float> mod = host_copy_of(out);
  expect_matches(mod, reference_half(U, V, A, false), 2e-4);
  // Both band ends are inclusive: r = 1 (s = 1/16) and r = 4 (s = 1/4); r = sqrt(17) is outside.
  EXPECT_NE(mod[8 * kNh + 1], 0.0f);
  EXPECT_NE(mod[8 * kNh + 4], 0.0f);
  EXPECT_NE(mod[12 * kNh + 0], 0.0f);
  EXPECT_EQ(mod[12 * kNh + 1], 0.0f);
  EXPECT_EQ(mod[8 * kNh + 0], 0.0f) << "zero frequency";

  hcuda_ctf_modsquare_simulate_2d_half(out.get(), kNh, kNy, sampling, model);
  expect_matches(host_copy_of(out), reference_half(U, V, A, true), 2e-4);

  std::vector<float> measured(size);
  for (size_t i = 0; i < size; ++i) measured[i] = 0.5f + 0.25f * static_cast<float>(i % 7);
  const DeviceBuffer<float> d_measured = device_copy_of(measured);
  hcuda_ctf_sim_mul_real_2d_half(out.get(), d_measured.get(), kNh, kNy, sampling, model);
  std::vector<double> product = reference_half(U, V, A, false);
  for (size_t i = 0; i < size; ++i) product[i] *= measured[i];
  expect_matches(host_copy_of(out), product, 4e-4);
}

TEST(CtfSimulate, EqualDefocusHasNoDirectionOrAngleDependence) {
  const size_t size = kNh * kNy;
  DeviceBuffer<float> out(size);
  const CtfSampling sampling{make_optics(300.0f, 2.7f, 0.1f, kApix), 0.0f, RESO{100.0f, 2.0f}};
  hcuda_ctf_mod_simulate_2d_half(out.get(), kNh, kNy, sampling, CtfModel{15000, 15000, 0, 0.0f});
  const std::vector<float> at0 = host_copy_of(out);
  hcuda_ctf_mod_simulate_2d_half(out.get(), kNh, kNy, sampling, CtfModel{15000, 15000, 73, 0.0f});
  const std::vector<float> at73 = host_copy_of(out);
  // cos^2 + sin^2 is 1 only to float rounding, which at gamma ~ 230 rad moves the CTF by ~1e-5.
  for (size_t i = 0; i < size; ++i) EXPECT_NEAR(at0[i], at73[i], 5e-5) << i;
  // Radius 5 in four directions: (5, 0), (3, 4), (4, -3), (0, 5) from the centre (0, 8).
  const float ring[] = {at0[8 * kNh + 5], at0[12 * kNh + 3], at0[5 * kNh + 4], at0[13 * kNh + 0]};
  EXPECT_GT(ring[0], 0.0f);
  for (float v : ring) EXPECT_NEAR(v, ring[0], 5e-5);
}

TEST(CtfSimulate, ProfileKernelsMatchDirectEvaluation) {
  // n 17, apix 1.5: s = i / 48; band [24, 3] Angstrom is 2 <= i <= 16, both ends exact.
  const int n = 17;
  const float apix = 1.5f, resL = 24.0f, resH = 3.0f, defocus = 21000.0f;
  DeviceBuffer<float> out(n);
  const CtfSampling sampling = sampling_of(apix, resL, resH);
  const float P = static_cast<float>(kOptics.P);
  hcuda_ctf_mod_simulate_1d(out.get(), n, sampling, P, defocus);
  const std::vector<float> mod = host_copy_of(out);
  hcuda_ctf_phase_simulate_1d(out.get(), n, sampling.optics, P, defocus, sampling.band);
  const std::vector<float> phase = host_copy_of(out);
  for (int i = 0; i < n; ++i) {
    const double s = i / 48.0;
    const bool inside = i >= 2 && i <= 16;
    const double ctf = reference_ctf(kOptics, defocus, s);
    EXPECT_NEAR(mod[i], inside ? std::fabs(ctf) * reference_envelope(kOptics, s) : 0.0, 1e-4) << i;
    EXPECT_EQ(mod[i] == 0.0f, !inside) << i;
    if (!inside) {
      EXPECT_EQ(phase[i], 0.0f) << i;
      continue;
    }
    const double volts = 300000.0, lambda = 12.264325 / std::sqrt(volts * (1.0 + 0.978466e-6 * volts));
    const double unwrapped = M_PI * lambda * defocus * s * s - M_PI / 2 * 2.7e7 * std::pow(lambda, 3) * std::pow(s, 4) +
                             kOptics.P * M_PI / 180.0 + std::asin(kOptics.ac);
    EXPECT_NEAR(phase[i], unwrapped, 1e-5 * unwrapped) << i;
  }
}

TEST(CtfSimulate, MultiDefocusRowsMatchSingleProfiles) {
  const int n = 17, m = 3;
  const float apix = 1.5f, resL = 24.0f, resH = 3.0f;
  const std::vector<float> defocus = {8000.0f, 15000.0f, 30000.0f};
  const DeviceBuffer<float> d_defocus = device_copy_of(defocus);
  DeviceBuffer<float> rows(static_cast<size_t>(m) * n);
  hcuda_ctf_mod_simulate_1ds_multi_defocus(rows.get(), n, sampling_of(apix, resL, resH), static_cast<float>(kOptics.P),
                                           d_defocus.get(), m);
  const std::vector<float> got = host_copy_of(rows);
  for (int j = 0; j < m; ++j)
    for (int i = 0; i < n; ++i) {
      const double s = i / 48.0;
      const bool inside = i >= 2 && i <= 16;
      const double expected =
          inside ? std::fabs(reference_ctf(kOptics, defocus[j], s)) * reference_envelope(kOptics, s) : 0.0;
      EXPECT_NEAR(got[j * n + i], expected, 1e-4) << "row " << j << " sample " << i;
    }
}

}  // namespace
