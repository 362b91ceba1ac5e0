// Amplitudes of n complex values: plain, squared and logarithmic, either in place of the values or
// moved to (or added at) the centred positions of a half spectrum, where the value at flat index i
// goes to (i + n/2) mod n (n/2 rounded down). All arrays are on the device.
#pragma once

#include <math.h>

#include <cstddef>

#include "arrays/centred_index.h"
#include "backend/float2.h"
#include "core/hd.h"

QUIB_HD inline float complex_amplitude(float2 c) { return sqrtf(c.x * c.x + c.y * c.y); }

QUIB_HD inline void cuda_complex_mod(const float2* in, float* out, size_t i) { out[i] = complex_amplitude(in[i]); }
QUIB_HD inline void cuda_complex_mod_square(const float2* in, float* out, size_t i) {
  out[i] = in[i].x * in[i].x + in[i].y * in[i].y;
}
QUIB_HD inline void cuda_complex_logmod(const float2* in, float* out, size_t i) { out[i] = logf(complex_amplitude(in[i])); }
QUIB_HD inline void cuda_complex_logmod_forced_positive(const float2* in, float* out, size_t i) {
  out[i] = logf(complex_amplitude(in[i]) + 1.0f);
}
QUIB_HD inline void cuda_complex_mod_center_swap(float* out, const float2* in, size_t n, size_t i) {
  out[centred_index(i, n)] = complex_amplitude(in[i]);
}
QUIB_HD inline void cuda_complex_logmod_center_swap(float* out, const float2* in, size_t n, size_t i) {
  out[centred_index(i, n)] = logf(complex_amplitude(in[i]));
}
// acc[j] += |in[i]| * w with j the centred position of i.
QUIB_HD inline void cuda_complex_mod_weighted_addto_center_swap(float* acc, const float2* in, size_t n, float w, size_t i) {
  const size_t j = centred_index(i, n);
  acc[j] = acc[j] + complex_amplitude(in[i]) * w;
}

// out[i] = |in[i]|, |in[i]|^2, log|in[i]|, log(|in[i]| + 1) (natural logarithms).
void hcuda_complex_mod(const float2* in, float* out, size_t n);
void hcuda_complex_mod_square(const float2* in, float* out, size_t n);
void hcuda_complex_logmod(const float2* in, float* out, size_t n);
void hcuda_complex_logmod_forced_positive(const float2* in, float* out, size_t n);
// out[(i + n/2) mod n] = |in[i]| or log|in[i]|.
void hcuda_complex_mod_center_swap(float* out, const float2* in, size_t n);
void hcuda_complex_logmod_center_swap(float* out, const float2* in, size_t n);
// acc[j] += |in[i]|, |in[i]| * w, |in[i]| * W[j], with j = (i + n/2) mod n; W is centred too.
void hcuda_complex_mod_addto_center_swap(float* acc, const float2* in, size_t n);
void hcuda_complex_mod_weighted_addto_center_swap(float* acc, const float2* in, size_t n, float w);
void hcuda_complex_mod_Ws_addto_center_swap(float* acc, const float2* in, size_t n, const float* W);
