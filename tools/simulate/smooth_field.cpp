#include "simulate/smooth_field.h"

#include <algorithm>
#include <cmath>

#include "simulate/counter_rng.h"

namespace {

// For each pixel along one axis of `nodes` cells: the node before it, the node after it (wrapping
// around) and the smoothstep weight of the node after.
struct AxisBlend {
  int nodes;
  std::vector<int> before, after;
  std::vector<float> weight;
};

AxisBlend axis_blend(int n, double cell) {
  const int nodes = std::max(1, static_cast<int>(std::lround(n / cell)));
  AxisBlend blend{nodes, std::vector<int>(n), std::vector<int>(n), std::vector<float>(n)};
  for (int i = 0; i < n; ++i) {
    const double u = double(i) * nodes / n;
    const int k = static_cast<int>(std::floor(u));
    const double t = u - k;
    blend.before[i] = k;
    blend.after[i] = (k + 1) % nodes;
    blend.weight[i] = static_cast<float>(t * t * (3.0 - 2.0 * t));
  }
  return blend;
}

}  // namespace

std::vector<float> smooth_random_field(int nx, int ny, double cell, uint64_t key) {
  const AxisBlend bx = axis_blend(nx, cell), by = axis_blend(ny, cell);
  const int gx = bx.nodes;
  std::vector<float> nodes(static_cast<size_t>(gx) * by.nodes);
  for (size_t i = 0; i < nodes.size(); ++i) {
    CounterRng rng(key, i);
    nodes[i] = static_cast<float>(rng.gaussian());
  }
  std::vector<float> field(static_cast<size_t>(nx) * ny);
  for (int y = 0; y < ny; ++y) {
    const float* top = &nodes[static_cast<size_t>(by.before[y]) * gx];
    const float* bottom = &nodes[static_cast<size_t>(by.after[y]) * gx];
    const float wy = by.weight[y];
    float* row = &field[static_cast<size_t>(y) * nx];
    for (int x = 0; x < nx; ++x) {
      const int i = bx.before[x], j = bx.after[x];
      const float wx = bx.weight[x];
      const float upper = top[i] + wx * (top[j] - top[i]);
      const float lower = bottom[i] + wx * (bottom[j] - bottom[i]);
      row[x] = upper + wy * (lower - upper);
    }
  }
  return field;
}
