// Synthetic half spectra for the EPA tests: |CTF| of a known model, optionally with noise.
#pragma once

#include <cmath>
#include <random>
#include <vector>

#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/ctf_simulate.h"

struct TestModel {
  int N;  // box size; the half spectrum is (N/2 + 1) x N
  float apix, kV, Cs, ac, U, V, A;
  int nh() const { return N / 2 + 1; }
  Optics optics() const { return make_optics(kV, Cs, ac, apix); }
  CtfModel model() const { return CtfModel{U, V, A, 0.0f}; }
};

// |CTF| of the model (B = 0) over the band 1000 .. 2 apix Angstrom, on the host.
inline std::vector<float> ctf_spectrum(const TestModel& m) {
  DeviceBuffer<float> d(static_cast<size_t>(m.nh()) * m.N);
  hcuda_ctf_mod_simulate_2d_half(d.get(), m.nh(), m.N, CtfSampling{m.optics(), 0.0f, RESO{1000.0f, 2.0f * m.apix}},
                                 m.model());
  return host_copy_of(d);
}

// Gaussian noise of the given spread added to every element.
inline void add_noise(std::vector<float>& spectrum, float sigma, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, sigma);
  for (float& v : spectrum) v += noise(rng);
}

// 1D |CTF| along the x axis of the model on n samples (sample i at s = i / (2 (n - 1) apix)).
inline std::vector<float> ctf_profile(const TestModel& m, int n, float resL, float resH) {
  const float a = m.A * static_cast<float>(M_PI) / 180.0f;
  const float Z0 = m.U * std::cos(a) * std::cos(a) + m.V * std::sin(a) * std::sin(a);
  DeviceBuffer<float> d(static_cast<size_t>(n));
  hcuda_ctf_mod_simulate_1d(d.get(), n, CtfSampling{m.optics(), 0.0f, RESO{resL, resH}}, 0.0f, Z0);
  return host_copy_of(d);
}

// Pearson correlation of a and b over samples first <= i < end.
inline double pearson(const std::vector<float>& a, const std::vector<float>& b, int first, int end) {
  double ma = 0, mb = 0;
  for (int i = first; i < end; ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= end - first;
  mb /= end - first;
  double ab = 0, aa = 0, bb = 0;
  for (int i = first; i < end; ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[i] - mb) * (b[i] - mb);
  }
  return ab / std::sqrt(aa * bb);
}
