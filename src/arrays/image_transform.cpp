#include "arrays/image_transform.h"

#include <cmath>
#include <cstddef>

#include "arrays/bilinear_sample.h"
#include "backend/launch.h"
#include "core/report.h"

namespace {

bool is_finite(const RT_Mat2D& m) {
  return std::isfinite(m.m11) && std::isfinite(m.m12) && std::isfinite(m.m21) && std::isfinite(m.m22) &&
         std::isfinite(m.tx) && std::isfinite(m.ty);
}

// The cosine and sine of an angle in degrees, reduced to +-45 degrees and a number of quarter turns
// first, so that quarter turns are exact and move pixels onto pixels.
void cos_sin_degrees(double degrees, double& c, double& s) {
  const double rest = std::remainder(degrees, 90.0);
  const int quarters = (static_cast<int>(std::fmod((degrees - rest) / 90.0, 4.0)) + 4) % 4;
  const double rc = std::cos(rest * (M_PI / 180.0)), rs = std::sin(rest * (M_PI / 180.0));
  const double cs[4][2] = {{rc, rs}, {-rs, rc}, {-rc, -rs}, {rs, -rc}};
  c = cs[quarters][0];
  s = cs[quarters][1];
}

}  // namespace

RT_Mat2D inverse_motion(const RT_Mat2D& m) {
  const double det = m.m11 * m.m22 - m.m12 * m.m21;
  return RT_Mat2D{m.m22 / det,
                  -m.m12 / det,
                  -m.m21 / det,
                  m.m11 / det,
                  (m.m12 * m.ty - m.m22 * m.tx) / det,
                  (m.m21 * m.tx - m.m11 * m.ty) / det};
}

const char* transform_problem(const RT_Mat2D& m, int direct) {
  if (!is_finite(m)) return "the transform must have finite entries";
  if (direct) return nullptr;
  const double det = m.m11 * m.m22 - m.m12 * m.m21;
  if (det == 0.0 || !std::isfinite(det) || !is_finite(inverse_motion(m)))
    return "the transform is singular: its matrix has no inverse";
  return nullptr;
}

void hcuda_2d_transform(const float* in, float* out, int nx, int ny, float cx, float cy, RT_Mat2D m, int direct) {
  if (const char* problem = transform_problem(m, direct)) QUIB_FATAL("image_transform", problem);
  const RT_Mat2D a = direct ? m : inverse_motion(m);
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) {
    const float dx = x - cx, dy = y - cy;
    const float u = static_cast<float>(cx + (a.tx + (dx * a.m11 + dy * a.m12)));
    const float v = static_cast<float>(cy + (a.ty + (dx * a.m21 + dy * a.m22)));
    out[static_cast<size_t>(y) * nx + x] = bilinear_sample(in, nx, ny, u, v);
  });
}

void hcuda_2d_rotate(const float* in, float* out, int nx, int ny, float angle) {
  double c, s;
  cos_sin_degrees(angle, c, s);
  hcuda_2d_transform(in, out, nx, ny, (nx - 1) * 0.5f, (ny - 1) * 0.5f, RT_Mat2D{c, -s, s, c, 0.0, 0.0}, 1);
}
