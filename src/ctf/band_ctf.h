// Table-driven CTF evaluations over the pixels of one fitting band (ctf/band_pixels.h): no
// per-pixel trigonometry, and loops that vectorise on the CPU. Sums run by the fixed device tree
// over the band's pixels in index order, so both backends give the same totals.
#pragma once

#include <math.h>

#include <cstddef>

#include "core/ctf_records.h"
#include "core/hd.h"
#include "ctf/band_pixels.h"
#include "ctf/sincos_poly.h"

// One CTF model in the form the per-pixel evaluation needs.
struct CtfTrial {
  float pi_lambda;        // pi lambda
  float cs_term;          // (pi/2) Cs' lambda^3
  float phase;            // the phase shift in radians
  float mean_defocus;     // (U + V) / 2
  float half_difference;  // (U - V) / 2
  float cos2a;            // cos 2A
  float sin2a;            // sin 2A
  float ac;               // amplitude contrast w
  float ac_sine;          // sqrt(1 - w^2)
};

CtfTrial ctf_trial(const Optics& optics, const CtfModel& model);

// The CTF at a band pixel: the effective defocus is (U + V)/2 + (U - V)/2 cos 2(theta - A).
QUIB_HD inline float band_ctf_value(const CtfTrial& t, float s2, float cos2t, float sin2t) {
  const float Z = t.mean_defocus + t.half_difference * (cos2t * t.cos2a + sin2t * t.sin2a);
  const float chi = s2 * (t.pi_lambda * Z - t.cs_term * s2) + t.phase;
  float sine, cosine;
  sincos_poly(chi, sine, cosine);
  return t.ac_sine * sine + t.ac * cosine;
}

// weights[i] = envelope[i] times the measured value at index[i], for every band pixel.
void hcuda_band_weights(float* weights, const BandPixels& band, const float* measured);

// The sum over the band of |CTF| weights[i], each product added as it is formed (the same total as
// storing the products and summing them).
float hcuda_band_score(const BandPixels& band, const float* weights, const CtfTrial& trial);

// The sum over the band of (|CTF| E)^2.
float hcuda_band_model_norm2(const BandPixels& band, const CtfTrial& trial);

// The sum over the band of measured^2.
float hcuda_band_measured_norm2(const BandPixels& band, const float* measured);

// How strongly the measured spectrum follows the model's rings: the correlation, over the band, of
// the measured values with the ring pattern (|CTF| - |CTF a quarter period later|) E, the measured
// values taken about their band mean. The pattern's two halves share envelope and mean, so a smooth
// background left in the spectrum cancels from it; a spectrum of white noise gives values of
// about 1/sqrt(count).
float hcuda_band_ring_correlation(const BandPixels& band, const float* measured, const CtfTrial& trial);

// out (the band's whole half spectrum, n elements): CTF^2 E in the band, 0 elsewhere.
void hcuda_band_ctf_modsquare(float* out, size_t n, const BandPixels& band, const CtfTrial& trial);

// CTF^2 E over an nh x ny half spectrum, 0 outside the sampling's band: the values of
// hcuda_ctf_modsquare_simulate_2d_half within rounding, from the (cached) band tables.
void hcuda_band_modsquare_simulate_2d_half(float* out, int nh, int ny, const CtfSampling& sampling,
                                           const CtfModel& model);
