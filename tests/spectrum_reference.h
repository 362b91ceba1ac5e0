// Slow, direct reference versions of the spectrum computations, written from their definitions for
// the spectrum test suites: host loops over plain vectors, one box and one pixel at a time.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "backend/fft_plan.h"
#include "backend/float2.h"
#include "backend/memory.h"
#include "backend/workspace.h"

namespace spectrum_reference {

inline std::vector<float> random_values(size_t n, unsigned seed, float low = -1.0f, float high = 1.0f) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(low, high);
  std::vector<float> v(n);
  for (float& x : v) x = u(rng);
  return v;
}

// Window mean with the window of the definition (at least the pixel itself), summed row by row in
// the accumulator type T.
template <class T>
std::vector<float> box_mean(const std::vector<float>& in, int nx, int ny, int kx, int ky) {
  const int hx = kx / 2, hy = ky / 2;
  std::vector<float> out(in.size());
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nx; ++x) {
      const int x0 = hx < 1 ? x : std::max(0, x - hx), x1 = hx < 1 ? x + 1 : std::min(nx, x + hx);
      const int y0 = hy < 1 ? y : std::max(0, y - hy), y1 = hy < 1 ? y + 1 : std::min(ny, y + hy);
      T sum = 0;
      for (int v = y0; v < y1; ++v)
        for (int u = x0; u < x1; ++u) sum += in[v * nx + u];
      out[y * nx + x] = static_cast<float>(sum / ((x1 - x0) * (y1 - y0)));
    }
  return out;
}

// The full amplitude layout of a centred half spectrum, even nx.
inline std::vector<float> half_to_full(const std::vector<float>& half, int nx, int ny) {
  const int h = nx / 2, nh = h + 1;
  std::vector<float> full(static_cast<size_t>(nx) * ny);
  for (int y = 0; y < ny; ++y)
    for (int c = 0; c < nx; ++c)
      full[y * nx + c] = c >= h - 1 ? half[y * nh + c - (h - 1)] : half[((ny - y) % ny) * nh + (h - 1 - c)];
  return full;
}

// Logarithm (optional) and background subtraction: full layout, direct float window mean,
// subtraction, back to the half spectrum.
inline std::vector<float> log_subbg(std::vector<float> half, int bx, int by, int convsize, bool take_log = true) {
  if (take_log)
    for (float& v : half) v = std::log(v);
  const std::vector<float> full = half_to_full(half, bx, by);
  const std::vector<float> mean = box_mean<float>(full, bx, by, convsize, convsize);
  const int nh = bx / 2 + 1;
  for (int y = 0; y < by; ++y)
    for (int x = 0; x < nh; ++x) {
      const int c = x + bx / 2 - 1;
      half[y * nh + x] = full[y * bx + c] - mean[y * bx + c];
    }
  return half;
}

// |F| of one bx x by box, transformed by the plan alone, in half-complex order.
inline std::vector<float> box_amplitudes(const std::vector<float>& box, int bx, int by) {
  const size_t n = static_cast<size_t>(bx / 2 + 1) * by;
  DeviceBuffer<float> in = device_copy_of(box);
  DeviceBuffer<float2> out(n);
  fft_plan_2d(bx, by).forward(in.get(), out.get());
  const std::vector<float2> f = host_copy_of(out);
  std::vector<float> a(n);
  for (size_t i = 0; i < n; ++i) a[i] = std::sqrt(f[i].x * f[i].x + f[i].y * f[i].y);
  return a;
}

// Adds w |F| of one box at the centred positions.
inline void add_centred(std::vector<float>& acc, const std::vector<float>& amplitudes, float w = 1.0f) {
  const size_t n = acc.size();
  for (size_t i = 0; i < n; ++i) acc[(i + n / 2) % n] += amplitudes[i] * w;
}

// The summed box amplitudes of the grid, box by box in row-major grid order.
inline std::vector<float> grid_amplitudes(const std::vector<float>& image, int nx, int ny, int bx, int by, int step) {
  std::vector<float> acc(static_cast<size_t>(bx / 2 + 1) * by, 0.0f);
  for (int j = 0; (ny - by) - j * step >= 0; ++j)
    for (int i = 0; (nx - bx) - i * step >= 0; ++i) {
      std::vector<float> box(static_cast<size_t>(bx) * by);
      for (int r = 0; r < by; ++r)
        for (int x = 0; x < bx; ++x) box[r * bx + x] = image[(j * step + r) * nx + i * step + x];
      add_centred(acc, box_amplitudes(box, bx, by));
    }
  return acc;
}

}  // namespace spectrum_reference
