#include "simulate/poisson.h"

#include <cmath>

namespace {

// Sequential search of the cumulative distribution with one uniform draw.
double poisson_by_inversion(double lambda, CounterRng& rng) {
  const double u = rng.uniform();
  double p = std::exp(-lambda);
  double cumulative = p;
  int k = 0;
  // The sum may stall a rounding error short of 1; the bound lies far in the tail.
  const int last = static_cast<int>(20.0 * lambda) + 40;
  while (u > cumulative && k < last) {
    ++k;
    p *= lambda / k;
    cumulative += p;
  }
  return k;
}

// W. Hoermann, "The transformed rejection method for generating Poisson random variables",
// Insurance: Mathematics and Economics 12 (1993) 39-45; valid for lambda >= 10.
double poisson_by_ptrs(double lambda, CounterRng& rng) {
  const double slam = std::sqrt(lambda);
  const double loglam = std::log(lambda);
  const double b = 0.931 + 2.53 * slam;
  const double a = -0.059 + 0.02483 * b;
  const double invalpha = 1.1239 + 1.1328 / (b - 3.4);
  const double vr = 0.9277 - 3.6224 / (b - 2.0);
  for (;;) {
    const double u = rng.uniform() - 0.5;
    const double v = rng.uniform();
    const double us = 0.5 - std::fabs(u);
    const double k = std::floor((2.0 * a / us + b) * u + lambda + 0.43);
    if (us >= 0.07 && v <= vr) return k;
    if (k < 0.0 || (us < 0.013 && v > us)) continue;
    if (std::log(v) + std::log(invalpha) - std::log(a / (us * us) + b) <= -lambda + k * loglam - std::lgamma(k + 1.0))
      return k;
  }
}

}  // namespace

double poisson_sample(double lambda, CounterRng& rng) {
  if (!(lambda > 0.0)) return 0.0;
  return lambda < 10.0 ? poisson_by_inversion(lambda, rng) : poisson_by_ptrs(lambda, rng);
}

std::vector<float> shot_noise_frame(const std::vector<float>& expected, uint64_t seed, int frame) {
  const uint64_t key = stream_key(seed, RandomStream::kShotNoise, static_cast<uint64_t>(frame));
  std::vector<float> counts(expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    CounterRng rng(key, i);
    counts[i] = static_cast<float>(poisson_sample(expected[i], rng));
  }
  return counts;
}
