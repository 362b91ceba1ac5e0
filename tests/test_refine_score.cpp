// The refinement score: the band tables, the table-driven CTF amplitude and score against the
// straightforward kernels, the band-limited square and the normalised correlation, and the
// vectorisable sine and cosine.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "arrays/array_reduce.h"
#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/band_ctf.h"
#include "ctf/band_pixels.h"
#include "ctf/ctf_simulate.h"
#include "ctf/refine_normalise.h"
#include "ctf/refine_score.h"
#include "ctf/sincos_poly.h"
#include "search_spectra.h"

namespace {

using search_spectra::TrueCtf;

struct Model {
  float P, kV, Cs, ac, U, V, A, B;
  CtfModel ctf() const { return {U, V, A, P}; }
  Optics optics(float apix) const { return make_optics(kV, Cs, ac, apix); }
  // The model's optics at pixel size apix, sampled with the envelope `bfactor` in resL .. resH.
  CtfSampling sampled(float apix, float bfactor, float resL, float resH) const {
    return {optics(apix), bfactor, RESO{resL, resH}};
  }
};

const Model kModels[] = {
    {0.0f, 300.0f, 2.7f, 0.1f, 20000.0f, 21000.0f, 35.0f, 150.0f},
    {90.0f, 300.0f, 2.7f, 0.07f, 8000.0f, 7000.0f, -60.0f, 50.0f},
    {0.0f, 200.0f, 0.01f, 0.1f, 85000.0f, 85000.0f, 0.0f, 0.0f},
    {35.5f, 300.0f, 2.7f, 1.0f, 3000.0f, 4500.0f, 120.0f, 300.0f},
};

std::vector<float> random_spectrum(int nh, int ny, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> v(static_cast<size_t>(nh) * ny);
  for (float& x : v) x = u(rng);
  return v;
}

TEST(SincosPoly, AgreesWithTheLibraryOverCtfPhases) {
  double worst = 0.0;
  for (double x = -3000.0; x < 3000.0; x += 0.0137) {
    const float xf = static_cast<float>(x);
    float s, c;
    sincos_poly(xf, s, c);
    worst = std::max({worst, std::fabs(s - std::sin(double(xf))), std::fabs(c - std::cos(double(xf)))});
  }
  EXPECT_LT(worst, 2e-7);
  float s, c;
  sincos_poly(0.0f, s, c);
  EXPECT_EQ(s, 0.0f);
  EXPECT_EQ(c, 1.0f);
  sincos_poly(NAN, s, c);
  EXPECT_TRUE(std::isnan(s) && std::isnan(c));
  sincos_poly(1e30f, s, c);  // meaningless but no fault
}

TEST(BandPixels, ListsExactlyTheInBandPixelsWithTheirGeometry) {
  // N = 16, apix 1: s = r / 16. Band 1/8 .. 1/4 is radius 2 .. 4, both included.
  const int nh = 9, ny = 16;
  const auto band = band_pixels(1.0f, nh, ny, 8.0f, 4.0f, 100.0f);
  const std::vector<int> index = host_copy_of(band->index.get(), band->count);
  const std::vector<float> s2 = host_copy_of(band->s2.get(), band->count);
  const std::vector<float> c2 = host_copy_of(band->cos2t.get(), band->count);
  const std::vector<float> n2 = host_copy_of(band->sin2t.get(), band->count);
  const std::vector<float> env = host_copy_of(band->envelope.get(), band->count);
  std::vector<int> expected;
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nh; ++x) {
      const int r2 = x * x + (y - 8) * (y - 8);
      if (r2 >= 4 && r2 <= 16) expected.push_back(y * nh + x);
    }
  ASSERT_EQ(index, expected);
  for (size_t i = 0; i < index.size(); ++i) {
    const int x = index[i] % nh, dy = index[i] / nh - 8;
    const double theta = std::atan2(double(dy), double(x)), s = std::sqrt(double(x * x + dy * dy)) / 16.0;
    EXPECT_NEAR(s2[i], s * s, 1e-7);
    EXPECT_NEAR(c2[i], std::cos(2 * theta), 1e-7);
    EXPECT_NEAR(n2[i], std::sin(2 * theta), 1e-7);
    EXPECT_NEAR(env[i], std::exp(-100.0 * s * s / 4), 1e-6);
  }
  EXPECT_EQ(band_pixels(1.0f, nh, ny, 8.0f, 4.0f, 100.0f).get(), band.get()) << "tables are kept for the run";
  EXPECT_EQ(band_pixels(1.0f, nh, ny, 2.1f, 2.05f, 100.0f)->count, 0u) << "no radius^2 in 58.1 .. 60.9";
}

TEST(RefineScore, AmplitudeFromTheTablesMatchesTheKernel) {
  const int N = 256, nh = N / 2 + 1;
  for (const Model& m : kModels) {
    const auto band = band_pixels(1.1f, nh, N, 60.0f, 2.3f, m.B);
    const std::vector<int> index = host_copy_of(band->index.get(), band->count);
    const std::vector<float> s2 = host_copy_of(band->s2.get(), band->count);
    const std::vector<float> c2 = host_copy_of(band->cos2t.get(), band->count);
    const std::vector<float> n2 = host_copy_of(band->sin2t.get(), band->count);
    DeviceBuffer<float> direct(static_cast<size_t>(nh) * N);
    hcuda_ctf_mod_simulate_2d_half(direct.get(), nh, N, m.sampled(1.1f, 0.0f, 60.0f, 2.3f), m.ctf());
    const std::vector<float> expected = host_copy_of(direct);
    const CtfTrial trial = ctf_trial(m.optics(1.0f), m.ctf());
    const double lambda = search_spectra::wavelength(m.kV);
    // Both evaluations round the phase chi (up to ~1300 rad here) to single precision: they agree
    // within three units in its last place.
    for (size_t i = 0; i < index.size(); ++i) {
      const double s = std::sqrt(double(s2[i]));
      const double chi = M_PI * lambda * std::max(m.U, m.V) * s * s +
                         M_PI / 2 * m.Cs * 1e7 * std::pow(lambda, 3) * std::pow(s, 4) + std::fabs(m.P) * M_PI / 180;
      ASSERT_NEAR(std::fabs(band_ctf_value(trial, s2[i], c2[i], n2[i])), expected[index[i]], 6 * chi / (1 << 24) + 2e-7)
          << m.U << " at pixel " << index[i];
    }
  }
}

TEST(RefineScore, ScoreMatchesTheStraightforwardSumWithinRounding) {
  const int N = 512, nh = N / 2 + 1;
  const float apix = 1.3f;
  const std::vector<float> host = random_spectrum(nh, N, 7);
  const DeviceBuffer<float> measured = device_copy_of(host);
  DeviceBuffer<float> work(host.size());
  for (const Model& m : kModels) {
    hcuda_ctf_sim_mul_real_2d_half(work.get(), measured.get(), nh, N, m.sampled(apix, m.B, 50.0f, 4.0f), m.ctf());
    // In double, the sum the score stands for.
    const std::vector<float> products = host_copy_of(work);
    double exact = 0.0, magnitude = 0.0;
    for (float p : products) exact += p, magnitude += std::fabs(p);
    const float fast =
        ctf_ccc_sim_with_real_2d_half(work.get(), measured.get(), nh, N, m.sampled(apix, m.B, 50.0f, 4.0f), m.ctf());
    EXPECT_NEAR(fast, exact, 2e-6 * magnitude) << m.U;
    const RefineScorer scorer = refine_scorer(measured.get(), nh, N, m.sampled(apix, m.B, 50.0f, 4.0f));
    EXPECT_EQ(refine_score(scorer, m.ctf()), fast) << "both paths sum alike";
  }
}

// The band sums total each pixel's value as they form it: bit for bit the tree sum of the same
// values stored in band order first (and the ring correlation the same formula of those sums), for
// a band of several tree blocks and a partial last one.
TEST(BandCtf, SumsOnTheFlyEqualTheTreeSumOfStoredValues) {
  const int N = 256, nh = N / 2 + 1;
  const float apix = 1.1f;
  const std::vector<float> host = random_spectrum(nh, N, 3);
  const DeviceBuffer<float> measured = device_copy_of(host);
  for (const Model& m : kModels) {
    const CtfSampling sampling = m.sampled(apix, m.B, 40.0f, 3.0f);
    const auto band = band_pixels(apix, nh, N, 40.0f, 3.0f, m.B);
    ASSERT_GT(band->count % 1024, 0u);
    const CtfTrial trial = ctf_trial(sampling.optics, m.ctf());
    const std::vector<int> index = host_copy_of(band->index);
    const std::vector<float> s2 = host_copy_of(band->s2), cos2t = host_copy_of(band->cos2t),
                             sin2t = host_copy_of(band->sin2t), envelope = host_copy_of(band->envelope);
    CtfTrial quarter = trial;
    quarter.phase += static_cast<float>(M_PI / 2.0);
    const size_t n = band->count;
    std::vector<float> weights(n), products(n), squares(n), measured2(n), values(n);
    std::vector<float> pattern(n), pattern_measured(n), pattern2(n);
    for (size_t i = 0; i < n; ++i) {
      const float ctf = band_ctf_value(trial, s2[i], cos2t[i], sin2t[i]);
      weights[i] = envelope[i] * host[index[i]];
      products[i] = fabsf(ctf) * weights[i];
      const float amplitude = fabsf(ctf) * envelope[i];
      squares[i] = amplitude * amplitude;
      values[i] = host[index[i]];
      measured2[i] = values[i] * values[i];
      pattern[i] = (fabsf(ctf) - fabsf(band_ctf_value(quarter, s2[i], cos2t[i], sin2t[i]))) * envelope[i];
      pattern_measured[i] = pattern[i] * values[i];
      pattern2[i] = pattern[i] * pattern[i];
    }
    const auto stored_sum = [&](const std::vector<float>& v) { return hcuda_fast_sum(device_copy_of(v).get(), n); };
    const double qm = stored_sum(pattern_measured), q = stored_sum(pattern), qq = stored_sum(pattern2);
    const double mean_part = stored_sum(values), mm = stored_sum(measured2);
    const double ring = (qm - q * mean_part / n) / std::sqrt(qq * std::fmax(mm - mean_part * mean_part / n, 0.0));
    EXPECT_EQ(hcuda_band_ring_correlation(*band, measured.get(), trial), static_cast<float>(ring)) << m.U;
    const DeviceBuffer<float> d_weights = device_copy_of(weights);
    EXPECT_EQ(hcuda_band_score(*band, d_weights.get(), trial),
              hcuda_fast_sum(device_copy_of(products).get(), band->count))
        << m.U;
    EXPECT_EQ(hcuda_band_model_norm2(*band, trial), hcuda_fast_sum(device_copy_of(squares).get(), band->count)) << m.U;
    EXPECT_EQ(hcuda_band_measured_norm2(*band, measured.get()),
              hcuda_fast_sum(device_copy_of(measured2).get(), band->count))
        << m.U;
  }
}

TEST(BandCtf, SquaredModelAndNormsMatchTheFullArrayRoute) {
  const int N = 256, nh = N / 2 + 1;
  const float apix = 1.2f;
  const std::vector<float> host = random_spectrum(nh, N, 9);
  const DeviceBuffer<float> measured = device_copy_of(host);
  DeviceBuffer<float> work(host.size()), expected(host.size());
  for (const Model& m : kModels) {
    const CtfTrial trial = ctf_trial(m.optics(1.0f), m.ctf());
    const auto band = band_pixels(apix, nh, N, 40.0f, 3.0f, m.B);
    hcuda_ctf_modsquare_simulate_2d_half(expected.get(), nh, N, m.sampled(apix, m.B, 40.0f, 3.0f), m.ctf());
    hcuda_band_modsquare_simulate_2d_half(work.get(), nh, N, m.sampled(apix, m.B, 40.0f, 3.0f), m.ctf());
    const std::vector<float> want = host_copy_of(expected), got = host_copy_of(work);
    for (size_t i = 0; i < want.size(); ++i) ASSERT_NEAR(got[i], want[i], 2e-4) << m.U << " at " << i;
    // The norms by the full-array route: the band-limited squares summed over the whole array.
    hcuda_ctf_mod_simulate_2d_half(expected.get(), nh, N, m.sampled(apix, m.B, 40.0f, 3.0f), m.ctf());
    hcuda_2d_half_res_based_square(expected.get(), expected.get(), apix, nh, N, RESO{40.0f, 3.0f});
    const float model = hcuda_fast_sum_inplace(expected.get(), expected.size());
    hcuda_2d_half_res_based_square(expected.get(), measured.get(), apix, nh, N, RESO{40.0f, 3.0f});
    const float spectrum = hcuda_fast_sum_inplace(expected.get(), expected.size());
    EXPECT_NEAR(hcuda_band_model_norm2(*band, trial), model, 1e-5 * model) << m.U;
    EXPECT_NEAR(hcuda_band_measured_norm2(*band, measured.get()), spectrum, 1e-5 * spectrum) << m.U;
  }
}

TEST(RefineNormalise, SquaresInsideTheBandOnly) {
  // N = 8, apix 1: s = r / 8; band 1/4 .. 1/2 is radius 2 .. 4.
  const int nh = 5, ny = 8;
  std::vector<float> in(nh * ny);
  for (size_t i = 0; i < in.size(); ++i) in[i] = 0.5f * i - 3.0f;
  DeviceBuffer<float> data = device_copy_of(in);
  DeviceBuffer<float> out(in.size());
  hcuda_2d_half_res_based_square(out.get(), data.get(), 1.0f, nh, ny, RESO{4.0f, 2.0f});
  const std::vector<float> squared = host_copy_of(out);
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nh; ++x) {
      const int r2 = x * x + (y - 4) * (y - 4), i = y * nh + x;
      EXPECT_EQ(squared[i], r2 >= 4 && r2 <= 16 ? in[i] * in[i] : 0.0f) << x << "," << y;
    }
  hcuda_2d_half_res_based_square(data.get(), data.get(), 1.0f, nh, ny, RESO{4.0f, 2.0f});
  EXPECT_EQ(host_copy_of(data), squared) << "in place";
}

TEST(RefineNormalise, CorrelationOfAScaledModelIsOne) {
  const int N = 128, nh = N / 2 + 1;
  const Model m = kModels[0];
  DeviceBuffer<float> measured(static_cast<size_t>(nh) * N);
  DeviceBuffer<float> work(measured.size());
  const CtfSampling sampling = m.sampled(1.0f, m.B, 40.0f, 3.0f);
  const CtfModel shifted{m.U + 3000, m.V + 3000, m.A, m.P};
  hcuda_ctf_mod_simulate_2d_half(measured.get(), nh, N, sampling, m.ctf());
  const float score = ctf_ccc_sim_with_real_2d_half(work.get(), measured.get(), nh, N, sampling, m.ctf());
  EXPECT_NEAR(ctf_normalised_ccc(score, measured.get(), nh, N, sampling, m.ctf()), 1.0f, 1e-5);
  const float other = ctf_ccc_sim_with_real_2d_half(work.get(), measured.get(), nh, N, sampling, shifted);
  EXPECT_LT(ctf_normalised_ccc(other, measured.get(), nh, N, sampling, shifted), 0.9f);
  hcuda_empty(measured.get(), measured.bytes());
  EXPECT_EQ(ctf_normalised_ccc(score, measured.get(), nh, N, sampling, m.ctf()), 0.0f)
      << "an empty spectrum correlates with nothing";
}

}  // namespace
