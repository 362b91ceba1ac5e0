#include "ctf/band_ctf.h"

#include <cmath>

#include "arrays/array_reduce.h"
#include "arrays/array_tree_total.h"
#include "backend/launch.h"
#include "backend/memory.h"
#include "core/ctf_formula.h"

CtfTrial ctf_trial(const Optics& optics, const CtfModel& model) {
  const double lambda = optics.lambda;
  const double two_a = 2.0 * model.angle * kPi / 180.0;
  CtfTrial t;
  t.pi_lambda = static_cast<float>(kPi * lambda);
  t.cs_term = static_cast<float>(0.5 * kPi * (1e7 * static_cast<double>(optics.Cs)) * lambda * lambda * lambda);
  t.phase = static_cast<float>(model.phase_shift * kPi / 180.0);
  t.mean_defocus = static_cast<float>((static_cast<double>(model.defocus_u) + model.defocus_v) / 2.0);
  t.half_difference = static_cast<float>((static_cast<double>(model.defocus_u) - model.defocus_v) / 2.0);
  t.cos2a = static_cast<float>(std::cos(two_a));
  t.sin2a = static_cast<float>(std::sin(two_a));
  t.ac = optics.ac;
  t.ac_sine = sqrtf(1.0f - optics.ac * optics.ac);
  return t;
}

namespace {

// Band pixels are handed out in runs of this many to each thread. The run's loop works on a local
// copy of the pixel operation, so on the CPU nothing it reads can alias what it writes and it
// vectorises.
constexpr size_t kRun = 16;

template <class PixelOperation>
void for_band_pixels(size_t n, PixelOperation operation) {
  launch_1d((n + kRun - 1) / kRun, [=] QUIB_HD(size_t run) {
    const PixelOperation local = operation;
    const size_t end = (run + 1) * kRun < n ? (run + 1) * kRun : n;
    for (size_t i = run * kRun; i < end; ++i) local(i);
  });
}

struct Weights {
  float* weights;
  const float* envelope;
  const float* measured;
  const int* index;
  QUIB_HD void operator()(size_t i) const { weights[i] = envelope[i] * measured[index[i]]; }
};

struct Geometry {
  const float* s2;
  const float* cos2t;
  const float* sin2t;
  QUIB_HD float ctf(const CtfTrial& t, size_t i) const { return band_ctf_value(t, s2[i], cos2t[i], sin2t[i]); }
};

Geometry geometry_of(const BandPixels& band) { return {band.s2.get(), band.cos2t.get(), band.sin2t.get()}; }

// The ring pattern at a pixel: (|CTF| - |CTF a quarter period later|) E.
struct RingPattern {
  const float* envelope;
  Geometry g;
  CtfTrial t;
  CtfTrial quarter;
  QUIB_HD float operator()(size_t i) const { return (fabsf(g.ctf(t, i)) - fabsf(g.ctf(quarter, i))) * envelope[i]; }
};

struct ScatterModSquare {
  float* out;
  const int* index;
  const float* envelope;
  Geometry g;
  CtfTrial t;
  QUIB_HD void operator()(size_t i) const {
    const float ctf = g.ctf(t, i);
    out[index[i]] = ctf * ctf * envelope[i];
  }
};

}  // namespace

void hcuda_band_weights(float* weights, const BandPixels& band, const float* measured) {
  for_band_pixels(band.count, Weights{weights, band.envelope.get(), measured, band.index.get()});
}

float hcuda_band_score(const BandPixels& band, const float* weights, const CtfTrial& trial) {
  const Geometry g = geometry_of(band);
  return tree_total_of(kTreeWidth, band.count, [=] QUIB_HD(size_t i) { return fabsf(g.ctf(trial, i)) * weights[i]; });
}

float hcuda_band_model_norm2(const BandPixels& band, const CtfTrial& trial) {
  const Geometry g = geometry_of(band);
  const float* envelope = band.envelope.get();
  return tree_total_of(kTreeWidth, band.count, [=] QUIB_HD(size_t i) {
    const float amplitude = fabsf(g.ctf(trial, i)) * envelope[i];
    return amplitude * amplitude;
  });
}

float hcuda_band_measured_norm2(const BandPixels& band, const float* measured) {
  const int* index = band.index.get();
  return tree_total_of(kTreeWidth, band.count, [=] QUIB_HD(size_t i) {
    const float m = measured[index[i]];
    return m * m;
  });
}

float hcuda_band_ring_correlation(const BandPixels& band, const float* measured, const CtfTrial& trial) {
  const size_t n = band.count;
  if (n < 2) return 0.0f;
  CtfTrial quarter = trial;
  quarter.phase += static_cast<float>(kPi / 2.0);
  const RingPattern pattern{band.envelope.get(), geometry_of(band), trial, quarter};
  const int* index = band.index.get();
  const double qm = tree_total_of(kTreeWidth, n, [=] QUIB_HD(size_t i) { return pattern(i) * measured[index[i]]; });
  const double q = tree_total_of(kTreeWidth, n, [=] QUIB_HD(size_t i) { return pattern(i); });
  const double qq = tree_total_of(kTreeWidth, n, [=] QUIB_HD(size_t i) {
    const float p = pattern(i);
    return p * p;
  });
  const double m = tree_total_of(kTreeWidth, n, [=] QUIB_HD(size_t i) { return measured[index[i]]; });
  const double mm = hcuda_band_measured_norm2(band, measured);
  const double covariance = qm - q * m / n;
  const double spread = std::sqrt(qq * std::fmax(mm - m * m / n, 0.0));
  return spread > 0.0 ? static_cast<float>(covariance / spread) : 0.0f;
}

void hcuda_band_ctf_modsquare(float* out, size_t n, const BandPixels& band, const CtfTrial& trial) {
  hcuda_empty(out, n * sizeof(float));
  for_band_pixels(band.count, ScatterModSquare{out, band.index.get(), band.envelope.get(), geometry_of(band), trial});
}

void hcuda_band_modsquare_simulate_2d_half(float* out, int nh, int ny, const CtfSampling& sampling,
                                           const CtfModel& model) {
  const size_t n = static_cast<size_t>(nh > 0 ? nh : 0) * (ny > 0 ? ny : 0);
  const auto band = band_pixels(sampling.optics.apix, nh, ny, sampling.band.low, sampling.band.high, sampling.bfactor);
  hcuda_band_ctf_modsquare(out, n, *band, ctf_trial(sampling.optics, model));
}
