#include "arrays/image_scale.h"

#include <climits>
#include <cmath>
#include <cstddef>

#include "arrays/bilinear_sample.h"
#include "backend/launch.h"
#include "core/report.h"

double scaled_side(int n, float s) { return std::trunc(static_cast<double>(n * s)); }

const char* scale_problem(int nx, int ny, float s) {
  if (!(s > 0.0f) || !std::isfinite(s)) return "the scale must be a finite number above 0";
  const double sx = scaled_side(nx, s), sy = scaled_side(ny, s);
  if (sx < 1.0 || sy < 1.0) return "the scaled image would be less than 1 pixel wide";
  if (sx > INT_MAX || sy > INT_MAX) return "the scaled image would be too large";
  return nullptr;
}

void hcuda_2d_scale(float* out, const float* in, int nx, int ny, float s) {
  if (const char* problem = scale_problem(nx, ny, s)) QUIB_FATAL("image_scale", problem);
  const int sx = static_cast<int>(scaled_side(nx, s)), sy = static_cast<int>(scaled_side(ny, s));
  const float step = 1.0f / s;
  const float cx = (nx - 1) * 0.5f, cy = (ny - 1) * 0.5f;
  const float out_cx = (sx - 1) * 0.5f, out_cy = (sy - 1) * 0.5f;
  launch_2d(sx, sy, [=] QUIB_HD(int x, int y) {
    const float u = cx + (x - out_cx) * step, v = cy + (y - out_cy) * step;
    out[static_cast<size_t>(y) * sx + x] = bilinear_sample(in, nx, ny, u, v);
  });
}
