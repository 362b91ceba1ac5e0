#include "simulate/illumination.h"

#include <algorithm>

#include "simulate/counter_rng.h"
#include "simulate/smooth_field.h"

namespace {

constexpr double kVariation = 0.03;  // standard deviation of the smooth variation
constexpr double kGradient = 0.04;   // largest change across the image of the linear gradient

}  // namespace

std::vector<float> make_illumination(const SimParams& p) {
  const uint64_t key = stream_key(p.seed, RandomStream::kIllumination);
  std::vector<float> field = smooth_random_field(p.nx, p.ny, std::max(p.nx, p.ny) / 3.0, key);
  CounterRng rng(key, ~0ull);
  const double gx = kGradient * (2.0 * rng.uniform() - 1.0) / p.nx;
  const double gy = kGradient * (2.0 * rng.uniform() - 1.0) / p.ny;
  double sum = 0.0;
  for (int y = 0; y < p.ny; ++y)
    for (int x = 0; x < p.nx; ++x) {
      float& v = field[static_cast<size_t>(y) * p.nx + x];
      v = static_cast<float>(1.0 + kVariation * v + gx * (x - 0.5 * p.nx) + gy * (y - 0.5 * p.ny));
      sum += v;
    }
  const float scale = static_cast<float>(field.size() / sum);
  for (float& v : field) v *= scale;
  return field;
}
