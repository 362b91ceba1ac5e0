#include "simulate/transfer.h"

#include <algorithm>
#include <cmath>

#include "core/ctf_formula.h"

float detector_mtf_factor(double f) { return static_cast<float>(f == 0.0 ? 1.0 : std::sin(kPi * f) / (kPi * f)); }

TransferTable make_transfer_table(const SimParams& p) {
  TransferTable t;
  t.nh = p.nx / 2 + 1;
  t.ny = p.ny;
  t.lambda = kV_to_lambda(p.kV);
  t.Cs = p.Cs;
  t.phase_shift = p.phase_shift;
  t.ac = p.ac;
  const size_t n = static_cast<size_t>(t.nh) * t.ny;
  t.s.resize(n);
  t.defocus.resize(n);
  t.damping.resize(n);
  std::vector<float> mtf_x(t.nh);
  for (int kx = 0; kx < t.nh; ++kx) mtf_x[kx] = detector_mtf_factor(double(kx) / p.nx);
  for (int r = 0; r < t.ny; ++r) {
    const int ky = fft_frequency_index(r, t.ny);
    const float fy = static_cast<float>(ky / (double(p.ny) * p.apix));
    const float mtf_y = detector_mtf_factor(double(ky) / p.ny);
    for (int kx = 0; kx < t.nh; ++kx) {
      const size_t i = static_cast<size_t>(r) * t.nh + kx;
      const float fx = static_cast<float>(kx / (double(p.nx) * p.apix));
      const float s = sqrtf(fx * fx + fy * fy);
      t.s[i] = s;
      t.defocus[i] = effective_defocus(p.defU, p.defV, p.angle, atan2f(fy, fx));
      t.damping[i] = ctf_envelope(p.bfac, s) * mtf_x[kx] * mtf_y;
    }
  }
  t.damping[0] = 0.0f;
  return t;
}

double envelope_band_limit(float bfac, double limit) {
  if (bfac <= 0.0f) return limit;
  return std::min(limit, std::sqrt(4.0 * std::log(20.0) / bfac));
}

LayerSweep start_layer_sweep(const TransferTable& t, float dz, float step) {
  const size_t n = t.s.size();
  LayerSweep sweep{step, std::vector<float2>(n), {}};
  for (size_t i = 0; i < n; ++i) {
    const float chi = ctf_chi(t.lambda, t.defocus[i] + dz, t.Cs, t.phase_shift, t.s[i]);
    sweep.phase[i] = float2{cosf(chi), sinf(chi)};
  }
  if (step != 0.0f) {
    sweep.advance.resize(n);
    for (size_t i = 0; i < n; ++i) {
      const double angle = kPi * t.lambda * step * double(t.s[i]) * t.s[i];
      sweep.advance[i] = float2{static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
    }
  }
  return sweep;
}

void accumulate_layer(const TransferTable& t, LayerSweep& sweep, const float2* in, float2* acc) {
  const size_t n = t.s.size();
  const float sine_weight = sqrtf(1.0f - t.ac * t.ac), cosine_weight = t.ac;
  float2* phase = sweep.phase.data();
  for (size_t i = 0; i < n; ++i) {
    const float m = (sine_weight * phase[i].y + cosine_weight * phase[i].x) * t.damping[i];
    acc[i].x += m * in[i].x;
    acc[i].y += m * in[i].y;
  }
  if (sweep.advance.empty()) return;
  const float2* advance = sweep.advance.data();
  for (size_t i = 0; i < n; ++i) {
    const float2 p = phase[i], a = advance[i];
    phase[i] = float2{p.x * a.x - p.y * a.y, p.x * a.y + p.y * a.x};
  }
}
