// Simulated CTFs on 1D profiles and on centred half spectra (sampling in ctf/half_spectrum.h):
// the amplitude |CTF| E, the squared CTF^2 E, the unwrapped phase, and the amplitude times a
// measured spectrum. Elements outside the sampling's band (both ends inclusive) are 0; E is the
// sampling's envelope. out (and measured) are device arrays; 1D profiles have n samples, half
// spectra nh columns and ny rows; P is a phase shift in degrees and a defocus in Angstrom.
#pragma once

#include <cstddef>

#include "core/ctf_formula.h"
#include "core/ctf_records.h"
#include "core/hd.h"
#include "ctf/half_spectrum.h"

// The CTF at frequency s for the effective defocus Z.
QUIB_HD inline float ctf_at(float lambda, float Z, float Cs, float P, float ac, float s) {
  return ctf_value(ctf_chi(lambda, Z, Cs, P, s), ac);
}

// The CTF of the model and its envelope at half-spectrum element (x, y); false outside the band.
QUIB_HD inline bool ctf_half_pixel(int x, int y, int nh, int ny, const CtfSampling& s, const CtfModel& m, float& ctf,
                                   float& envelope) {
  const HalfSpectrumPixel p = half_spectrum_pixel(x, y, nh, ny, s.optics.apix);
  if (!in_band(p.s, s.band.low, s.band.high)) return false;
  const float Z = effective_defocus(m.defocus_u, m.defocus_v, m.angle, p.theta);
  ctf = ctf_at(s.optics.lambda, Z, s.optics.Cs, m.phase_shift, s.optics.ac, p.s);
  envelope = ctf_envelope(s.bfactor, p.s);
  return true;
}

QUIB_HD inline size_t half_index(int x, int y, int nh) { return static_cast<size_t>(y) * nh + x; }

// Sample i of |CTF| E at one defocus.
QUIB_HD inline void cuda_ctf_mod_simulate_1d(float* out, int i, int n, const CtfSampling& s, float P, float defocus) {
  const float f = profile_frequency(i, n, s.optics.apix);
  out[i] = in_band(f, s.band.low, s.band.high)
               ? fabsf(ctf_at(s.optics.lambda, defocus, s.optics.Cs, P, s.optics.ac, f)) * ctf_envelope(s.bfactor, f)
               : 0.0f;
}

// Sample i of the unwrapped phase gamma + P pi/180 + asin(ac), whose sine is the CTF, in the band.
QUIB_HD inline void cuda_ctf_phase_simulate_1d(float* out, int i, int n, const Optics& o, float P, float defocus,
                                               RESO band) {
  const float f = profile_frequency(i, n, o.apix);
  out[i] = in_band(f, band.low, band.high) ? ctf_chi(o.lambda, defocus, o.Cs, P, f) + asinf(o.ac) : 0.0f;
}

// Sample i of row j of an m x n array: |CTF| E with defocus[j] (defocus a device array of m values).
QUIB_HD inline void cuda_ctf_mod_simulate_1ds_multi_defocus(float* out, int i, int j, int n, const CtfSampling& s,
                                                            float P, const float* defocus) {
  cuda_ctf_mod_simulate_1d(out + static_cast<size_t>(j) * n, i, n, s, P, defocus[j]);
}

// Element (x, y) of |CTF| E.
QUIB_HD inline void cuda_ctf_mod_simulate_2d_half(float* out, int x, int y, int nh, int ny, const CtfSampling& s,
                                                  const CtfModel& m) {
  float ctf, envelope;
  const bool inside = ctf_half_pixel(x, y, nh, ny, s, m, ctf, envelope);
  out[half_index(x, y, nh)] = inside ? fabsf(ctf) * envelope : 0.0f;
}

// Element (x, y) of CTF^2 E.
QUIB_HD inline void cuda_ctf_modsquare_simulate_2d_half(float* out, int x, int y, int nh, int ny, const CtfSampling& s,
                                                        const CtfModel& m) {
  float ctf, envelope;
  const bool inside = ctf_half_pixel(x, y, nh, ny, s, m, ctf, envelope);
  out[half_index(x, y, nh)] = inside ? ctf * ctf * envelope : 0.0f;
}

// Element (x, y) of |CTF| E times the measured spectrum.
QUIB_HD inline void cuda_ctf_sim_mul_real_2d_half(float* out, const float* measured, int x, int y, int nh, int ny,
                                                  const CtfSampling& s, const CtfModel& m) {
  float ctf, envelope;
  const bool inside = ctf_half_pixel(x, y, nh, ny, s, m, ctf, envelope);
  const size_t i = half_index(x, y, nh);
  out[i] = inside ? fabsf(ctf) * envelope * measured[i] : 0.0f;
}

// The same over whole arrays; each returns with the result complete.
void hcuda_ctf_mod_simulate_1d(float* out, int n, const CtfSampling& s, float P, float defocus);
void hcuda_ctf_phase_simulate_1d(float* out, int n, const Optics& o, float P, float defocus, RESO band);
// out has m rows of n samples.
void hcuda_ctf_mod_simulate_1ds_multi_defocus(float* out, int n, const CtfSampling& s, float P, const float* defocus,
                                              int m);
void hcuda_ctf_mod_simulate_2d_half(float* out, int nh, int ny, const CtfSampling& s, const CtfModel& m);
void hcuda_ctf_modsquare_simulate_2d_half(float* out, int nh, int ny, const CtfSampling& s, const CtfModel& m);
void hcuda_ctf_sim_mul_real_2d_half(float* out, const float* measured, int nh, int ny, const CtfSampling& s,
                                    const CtfModel& m);
