// The CTF formula, evaluated the same way on the host and on the device.
// s is a spatial frequency in 1/Angstrom, Z an effective defocus in Angstrom (positive =
// underfocus), Cs in mm, the phase shift P and the astigmatism angle A in degrees.
#pragma once

#include <math.h>

#include "core/hd.h"

constexpr double kPi = 3.14159265358979323846;

// Electron wavelength in Angstrom for an acceleration voltage in kV.
QUIB_HD inline float kV_to_lambda(float kV) {
  const float volts = 1000.0f * kV;
  return 12.264325f / sqrtf(volts * (1.0f + 0.978466e-6f * volts));
}

// Defocus along direction theta (radians) of an astigmatic model U, V, A.
QUIB_HD inline float effective_defocus(float U, float V, float A, float theta) {
  const float phi = theta - static_cast<float>(A * kPi / 180.0);
  const float c = cosf(phi), s = sinf(phi);
  return U * c * c + V * s * s;
}

// The phase without phase shift, gamma = pi lambda Z s^2 - (pi/2) Cs' lambda^3 s^4.
QUIB_HD inline double ctf_gamma(float lambda, float Z, float Cs, float s) {
  const double l = lambda, ss = static_cast<double>(s) * s;
  return kPi * l * Z * ss - 0.5 * kPi * (1e7 * static_cast<double>(Cs)) * l * l * l * ss * ss;
}

// chi = gamma + P pi/180, formed in double precision and rounded to single.
QUIB_HD inline float ctf_chi(float lambda, float Z, float Cs, float P, float s) {
  return static_cast<float>(ctf_gamma(lambda, Z, Cs, s) + P * kPi / 180.0);
}

// CTF = sqrt(1 - w^2) sin(chi) + w cos(chi), w the amplitude contrast.
QUIB_HD inline float ctf_value(float chi, float w) { return sqrtf(1.0f - w * w) * sinf(chi) + w * cosf(chi); }

// Envelope exp(-B s^2 / 4).
QUIB_HD inline float ctf_envelope(float B, float s) { return expf(-B * s * s / 4.0f); }

// Whether s lies in the fitting band 1/resL <= s <= 1/resH.
QUIB_HD inline bool in_band(float s, float resL, float resH) { return s >= 1.0f / resL && s <= 1.0f / resH; }

// The inverse of gamma on one direction: the frequency s at which gamma, for the effective defocus
// Z, equals g; the smaller root s^2 = (c - sqrt(c^2 - 4 k g)) / (2 k) with c = pi lambda Z and
// k = (pi/2) Cs' lambda^3. It is evaluated in double as s^2 = 2 g / (c + sqrt(c^2 - 4 k g)), the
// same root without the cancellation in c - sqrt(...), which is also the linear solution g / c
// when Cs = 0. NaN where that root is not real or s^2 would be negative.
QUIB_HD inline float ctf_frequency_at_gamma(float lambda, float Z, float Cs, float g) {
  const double l = lambda;
  const double c = kPi * l * Z;
  const double k = 0.5 * kPi * (1e7 * static_cast<double>(Cs)) * l * l * l;
  const double discriminant = c * c - 4.0 * k * g;
  if (discriminant < 0.0) return NAN;
  const double s2 = 2.0 * g / (c + sqrt(discriminant));
  return s2 >= 0.0 ? static_cast<float>(sqrt(s2)) : NAN;
}
