// Synthetic measured spectra for the search and refinement suites: centred half spectra whose
// rings follow a known CTF, written from the formula's definition in double precision. Each pixel
// holds (|CTF| - 2/pi) E plus Gaussian noise, so the rings oscillate about zero like a
// background-subtracted log amplitude spectrum.
#pragma once

#include <cmath>
#include <random>
#include <vector>

#include "run/quib_para.h"
#include "run/stage_settings.h"

namespace search_spectra {

struct TrueCtf {
  double U;
  double V;
  double A;  // degrees
  double P = 0.0;
  double kV = 300.0;
  double Cs = 2.7;
  double ac = 0.1;
  double B = 0.0;
};

inline double wavelength(double kV) {
  const double volts = 1000.0 * kV;
  return 12.264325 / std::sqrt(volts * (1.0 + 0.978466e-6 * volts));
}

// |CTF| E at spatial frequency s (1/Angstrom) in direction theta (radians).
inline double ctf_amplitude(const TrueCtf& t, double s, double theta) {
  const double lambda = wavelength(t.kV);
  const double phi = theta - t.A * M_PI / 180.0;
  const double Z = t.U * std::cos(phi) * std::cos(phi) + t.V * std::sin(phi) * std::sin(phi);
  const double gamma = M_PI * lambda * Z * s * s - M_PI / 2 * t.Cs * 1e7 * std::pow(lambda, 3) * std::pow(s, 4);
  const double chi = gamma + t.P * M_PI / 180.0;
  return std::fabs(std::sqrt(1 - t.ac * t.ac) * std::sin(chi) + t.ac * std::cos(chi)) * std::exp(-t.B * s * s / 4.0);
}

// An N x N box's half spectrum: N/2 + 1 columns by N rows, zero frequency at (0, N/2).
inline std::vector<float> half_spectrum(int N, double apix, const TrueCtf& t, double noise, unsigned seed) {
  const int nh = N / 2 + 1;
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<float> half(static_cast<size_t>(nh) * N);
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < nh; ++x) {
      const double dy = y - N / 2;
      const double s = std::sqrt(x * x + dy * dy) / (N * apix);
      const double envelope = std::exp(-t.B * s * s / 4.0);
      half[static_cast<size_t>(y) * nh + x] =
          static_cast<float>(ctf_amplitude(t, s, std::atan2(dy, x)) - 2.0 / M_PI * envelope + noise * gauss(rng));
    }
  return half;
}

// A run record with the defaults, a box of N and pixel size apix, and one micrograph listed.
struct TestPara {
  QUIB_Para para{};
  TestPara(int N, float apix) {
    char name[] = "quib";
    char* argv[] = {name, nullptr};
    Quib_init_parameters(1, argv, &para);
    para.boxsize = N;
    para.apix = apix;
    quib_append_micrograph(&para, "micrograph.mrc", CTF_INIT{});
  }
  ~TestPara() { Quib_release_parameters(&para); }
  TestPara(const TestPara&) = delete;
  TestPara& operator=(const TestPara&) = delete;
};

}  // namespace search_spectra
