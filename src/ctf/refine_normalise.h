// Normalisation of a refinement score into a cross-correlation coefficient: the score divided by
// the band-limited norms of the model amplitude and of the measured spectrum.
#pragma once

#include <cstddef>

#include "core/ctf_formula.h"
#include "core/ctf_records.h"
#include "core/hd.h"
#include "ctf/half_spectrum.h"

// Element (x, y) of a half spectrum: in^2 inside the band 1/band.low <= s <= 1/band.high, else 0.
// out may be in itself.
QUIB_HD inline void cuda_2d_half_res_based_square(float* out, const float* in, int x, int y, float apix, int nh, int ny,
                                                  RESO band) {
  const HalfSpectrumPixel p = half_spectrum_pixel(x, y, nh, ny, apix);
  const size_t i = static_cast<size_t>(y) * nh + x;
  out[i] = in_band(p.s, band.low, band.high) ? in[i] * in[i] : 0.0f;
}

void hcuda_2d_half_res_based_square(float* out, const float* in, float apix, int nh, int ny, RESO band);

// ccc / sqrt(sum of (|CTF| E)^2) / sqrt(sum of measured^2), both sums over the sampling's band (the
// sums of the band-limited squares above, taken over the band's pixels only), for the model.
// A model or a spectrum with nothing in the band correlates with nothing: the result is then 0.
float ctf_normalised_ccc(float ccc, const float* measured, int nh, int ny, const CtfSampling& sampling,
                         const CtfModel& model);
