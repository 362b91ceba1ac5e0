// Simulated CTFs on 1D profiles and on centred half spectra (sampling in ctf/half_spectrum.h):
// the amplitude |CTF| E, the squared CTF^2 E, the unwrapped phase, and the amplitude times a
// measured spectrum. Elements outside the band 1/resL <= s <= 1/resH (both inclusive) are 0.
// Arguments: out (and measured) are device arrays; apix in Angstrom per pixel, P the phase shift
// in degrees, kV, Cs in mm, ac the amplitude contrast, defocus U, V in Angstrom, A in degrees,
// B in square Angstrom, resL and resH in Angstrom. 1D profiles have n samples; half spectra nh
// columns and ny rows.
#pragma once

#include <cstddef>

#include "core/ctf_formula.h"
#include "core/hd.h"
#include "ctf/half_spectrum.h"

// The CTF at frequency s for the effective defocus Z.
QUIB_HD inline float ctf_at(float lambda, float Z, float Cs, float P, float ac, float s) {
  return ctf_value(ctf_chi(lambda, Z, Cs, P, s), ac);
}

// The CTF and its envelope at half-spectrum element (x, y); false outside the band.
QUIB_HD inline bool ctf_half_pixel(int x, int y, float apix, int nh, int ny, float P, float kV, float Cs, float ac,
                                   float U, float V, float A, float B, float resL, float resH, float& ctf,
                                   float& envelope) {
  const HalfSpectrumPixel p = half_spectrum_pixel(x, y, nh, ny, apix);
  if (!in_band(p.s, resL, resH)) return false;
  ctf = ctf_at(kV_to_lambda(kV), effective_defocus(U, V, A, p.theta), Cs, P, ac, p.s);
  envelope = ctf_envelope(B, p.s);
  return true;
}

QUIB_HD inline size_t half_index(int x, int y, int nh) { return static_cast<size_t>(y) * nh + x; }

// Sample i of |CTF| E at one defocus.
QUIB_HD inline void cuda_ctf_mod_simulate_1d(float* out, int i, float apix, int n, float P, float kV, float Cs,
                                             float ac, float defocus, float B, float resL, float resH) {
  const float s = profile_frequency(i, n, apix);
  out[i] = in_band(s, resL, resH) ? fabsf(ctf_at(kV_to_lambda(kV), defocus, Cs, P, ac, s)) * ctf_envelope(B, s) : 0.0f;
}

// Sample i of the unwrapped phase gamma + P pi/180 + asin(ac), whose sine is the CTF.
QUIB_HD inline void cuda_ctf_phase_simulate_1d(float* out, int i, float apix, int n, float P, float kV, float Cs,
                                               float ac, float defocus, float resL, float resH) {
  const float s = profile_frequency(i, n, apix);
  out[i] = in_band(s, resL, resH) ? ctf_chi(kV_to_lambda(kV), defocus, Cs, P, s) + asinf(ac) : 0.0f;
}

// Sample i of row j of an m x n array: |CTF| E with defocus[j] (defocus a device array of m values).
QUIB_HD inline void cuda_ctf_mod_simulate_1ds_multi_defocus(float* out, int i, int j, float apix, int n, float P,
                                                            float kV, float Cs, float ac, const float* defocus, float B,
                                                            float resL, float resH) {
  cuda_ctf_mod_simulate_1d(out + static_cast<size_t>(j) * n, i, apix, n, P, kV, Cs, ac, defocus[j], B, resL, resH);
}

// Element (x, y) of |CTF| E.
QUIB_HD inline void cuda_ctf_mod_simulate_2d_half(float* out, int x, int y, float apix, int nh, int ny, float P,
                                                  float kV, float Cs, float ac, float U, float V, float A, float B,
                                                  float resL, float resH) {
  float ctf, envelope;
  const bool inside = ctf_half_pixel(x, y, apix, nh, ny, P, kV, Cs, ac, U, V, A, B, resL, resH, ctf, envelope);
  out[half_index(x, y, nh)] = inside ? fabsf(ctf) * envelope : 0.0f;
}

// Element (x, y) of CTF^2 E.
QUIB_HD inline void cuda_ctf_modsquare_simulate_2d_half(float* out, int x, int y, float apix, int nh, int ny, float P,
                                                        float kV, float Cs, float ac, float U, float V, float A,
                                                        float B, float resL, float resH) {
  float ctf, envelope;
  const bool inside = ctf_half_pixel(x, y, apix, nh, ny, P, kV, Cs, ac, U, V, A, B, resL, resH, ctf, envelope);
  out[half_index(x, y, nh)] = inside ? ctf * ctf * envelope : 0.0f;
}

// Element (x, y) of |CTF| E times the measured spectrum.
QUIB_HD inline void cuda_ctf_sim_mul_real_2d_half(float* out, const float* measured, int x, int y, float apix, int nh,
                                                  int ny, float P, float kV, float Cs, float ac, float U, float V,
                                                  float A, float B, float resL, float resH) {
  float ctf, envelope;
  const bool inside = ctf_half_pixel(x, y, apix, nh, ny, P, kV, Cs, ac, U, V, A, B, resL, resH, ctf, envelope);
  const size_t i = half_index(x, y, nh);
  out[i] = inside ? fabsf(ctf) * envelope * measured[i] : 0.0f;
}

// The same over whole arrays; each returns with the result complete.
void hcuda_ctf_mod_simulate_1d(float* out, float apix, int n, float P, float kV, float Cs, float ac, float defocus,
                               float B, float resL, float resH);
void hcuda_ctf_phase_simulate_1d(float* out, float apix, int n, float P, float kV, float Cs, float ac, float defocus,
                                 float resL, float resH);
// out has m rows of n samples.
void hcuda_ctf_mod_simulate_1ds_multi_defocus(float* out, float apix, int n, float P, float kV, float Cs, float ac,
                                              const float* defocus, int m, float B, float resL, float resH);
void hcuda_ctf_mod_simulate_2d_half(float* out, float apix, int nh, int ny, float P, float kV, float Cs, float ac,
                                    float U, float V, float A, float B, float resL, float resH);
void hcuda_ctf_modsquare_simulate_2d_half(float* out, float apix, int nh, int ny, float P, float kV, float Cs, float ac,
                                          float U, float V, float A, float B, float resL, float resH);
void hcuda_ctf_sim_mul_real_2d_half(float* out, const float* measured, float apix, int nh, int ny, float P, float kV,
                                    float Cs, float ac, float U, float V, float A, float B, float resL, float resH);
