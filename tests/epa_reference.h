// The equiphase average written the plain way, one sample at a time with every geometric quantity
// computed where it is used: the yardsticks the fast kernel is tested against. reference_epa
// weights every pixel of the spectrum; reference_walk_epa walks each sample's directions and
// interpolates bilinearly, the average the pixel weights stand for.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/ctf_formula.h"

// The radius (1/Angstrom) where gamma reaches g on a direction with coefficients c and k, by the
// quadratic formula in double precision; the linear solution when k = 0; NaN where none exists.
inline double reference_frequency_at_gamma(double c, double k, double g) {
  if (k == 0.0) return std::sqrt(g / c);
  return std::sqrt((c - std::sqrt(c * c - 4.0 * k * g)) / (2.0 * k));
}

// Bilinear value of a half spectrum at (x, y); the +1 neighbour only where the coordinate is fractional.
inline double reference_bilinear(const std::vector<float>& a, double x, double y, int nh) {
  const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  const double fx = x - ix, fy = y - iy;
  auto at = [&](int dx, int dy) { return static_cast<double>(a[static_cast<size_t>(iy + dy) * nh + ix + dx]); };
  double v = (1 - fx) * (1 - fy) * at(0, 0);
  if (fx > 0) v += fx * (1 - fy) * at(1, 0);
  if (fy > 0) v += (1 - fx) * fy * at(0, 1);
  if (fx > 0 && fy > 0) v += fx * fy * at(1, 1);
  return v;
}

// Sample i of the walked EPA of a half spectrum of nh x ny, profile of M = (nh - 1) ov + 1 samples.
inline float reference_walk_epa_sample(const std::vector<float>& in, int i, int ov, float apix, int nh, int ny,
                                       float kV, float Cs, float U, float V, float A, float resL, float resH) {
  const int M = (nh - 1) * ov + 1;
  const double s = i / (2.0 * (M - 1) * apix);
  if (s <= 1.0 / resL || s >= 1.0 / resH) return 0.0f;
  const double lambda = kV_to_lambda(kV), a = A * kPi / 180.0;
  const double k = 0.5 * kPi * Cs * 1e7 * lambda * lambda * lambda;
  const double Z0 = U * std::cos(a) * std::cos(a) + V * std::sin(a) * std::sin(a);
  const double gamma = kPi * lambda * Z0 * s * s - k * s * s * s * s;
  const double pixels = 2.0 * (nh - 1) * apix;
  double sum = 0, weights = 0;
  const double step = 0.75 / i;
  for (int j = 0; - kPi / 2 + j * step < kPi / 2; ++j) {
    // theta = -pi/2 + j step; its cosine and sine through j step, so that theta = -pi/2 itself
    // walks exactly along the column x = 0
    const double theta = -kPi / 2 + j * step, cos_theta = std::sin(j * step), sin_theta = -std::cos(j * step);
    const double phi = theta - a;
    const double c = kPi * lambda * (U * std::cos(phi) * std::cos(phi) + V * std::sin(phi) * std::sin(phi));
    const double r1 = pixels * reference_frequency_at_gamma(c, k, gamma);
    const double r2 = pixels * reference_frequency_at_gamma(c, k, gamma + kPi / 2);
    double w = r2 - r1;
    if (w >= 10) w = std::sqrt(10 * w);
    const double sigma = w / 3;
    for (double r = r1 - w; r <= r2; r += 0.5) {
      const double x = r * cos_theta, y = r * sin_theta + ny / 2;
      if (x < 0 || x > nh - 1 || y < 0 || y > ny - 1) continue;
      const double g = 0.39894228 * std::exp(-(r - r1) * (r - r1) / (2 * sigma * sigma));
      sum += g * reference_bilinear(in, x, y, nh);
      weights += g;
    }
  }
  return static_cast<float>(sum / (1e-6 + weights));
}

inline std::vector<float> reference_walk_epa(const std::vector<float>& in, int ov, float apix, int nh, int ny, float kV,
                                             float Cs, float U, float V, float A, float resL, float resH) {
  std::vector<float> out((nh - 1) * ov + 1);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = reference_walk_epa_sample(in, static_cast<int>(i), ov, apix, nh, ny, kV, Cs, U, V, A, resL, resH);
  return out;
}

// Sample i of the EPA weighting pixels: every pixel below its direction's phase maximum whose
// phase lies within 3 pi/4 of gamma_i and whose radius lies in the band [r1 - 3 sigma', r1 +
// min(r2 - r1, 10 sigma) sigma'/sigma] counts with the weight
// 0.39894228 (sigma/sigma') exp(-(r - r1)^2 / (2 sigma'^2)) / r, halved on each edge of the
// spectrum (sigma'^2 = sigma^2 + 1/6); the mean is taken with 1e-6 / (2 i / 0.75) added to the weights.
inline float reference_epa_sample(const std::vector<float>& in, int i, int ov, float apix, int nh, int ny, float kV,
                                  float Cs, float U, float V, float A, float resL, float resH) {
  const int M = (nh - 1) * ov + 1;
  const double s = i / (2.0 * (M - 1) * apix);
  if (s <= 1.0 / resL || s >= 1.0 / resH) return 0.0f;
  const double lambda = kV_to_lambda(kV), a = A * kPi / 180.0;
  const double k = 0.5 * kPi * Cs * 1e7 * lambda * lambda * lambda;
  const double Z0 = U * std::cos(a) * std::cos(a) + V * std::sin(a) * std::sin(a);
  const double gamma = kPi * lambda * Z0 * s * s - k * s * s * s * s;
  const double pixels = 2.0 * (nh - 1) * apix;
  double sum = 0, weights = 0;
  for (int y = 0; y < ny; ++y) {
    for (int x = 0; x < nh; ++x) {
      const double dy = y - ny / 2, r = std::sqrt(double(x) * x + dy * dy);
      if (r == 0) continue;
      const double phi = std::atan2(dy, double(x)) - a;
      const double c = kPi * lambda * (U * std::cos(phi) * std::cos(phi) + V * std::sin(phi) * std::sin(phi));
      const double sp = r / pixels;
      if (c <= 0 || (k > 0 && sp * sp >= c / (2 * k))) continue;
      const double phase = c * sp * sp - k * sp * sp * sp * sp;
      if (std::fabs(phase - gamma) >= 0.75 * kPi) continue;
      const double r1 = pixels * reference_frequency_at_gamma(c, k, gamma);
      const double r2 = pixels * reference_frequency_at_gamma(c, k, gamma + kPi / 2);
      if (!(r2 > r1)) continue;
      double w = r2 - r1;
      if (w >= 10) w = std::sqrt(10 * w);
      const double sigma = w / 3, widened = std::sqrt(sigma * sigma + 1.0 / 6);
      const double d = r - r1;
      if (d < -3 * widened || d > std::min(r2 - r1, 10 * sigma) * widened / sigma) continue;
      double g = 0.39894228 * sigma / widened * std::exp(-d * d / (2 * widened * widened)) / r;
      if (x == 0 || x == nh - 1) g *= 0.5;
      if (y == 0 || y == ny - 1) g *= 0.5;
      sum += g * in[static_cast<size_t>(y) * nh + x];
      weights += g;
    }
  }
  return static_cast<float>(sum / (1e-6 / (2.0 * i / 0.75) + weights));
}

inline std::vector<float> reference_epa(const std::vector<float>& in, int ov, float apix, int nh, int ny, float kV,
                                        float Cs, float U, float V, float A, float resL, float resH) {
  std::vector<float> out((nh - 1) * ov + 1);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = reference_epa_sample(in, static_cast<int>(i), ov, apix, nh, ny, kV, Cs, U, V, A, resL, resH);
  return out;
}
