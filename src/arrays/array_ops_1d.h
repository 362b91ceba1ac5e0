// Element-wise operations on 1D device arrays of n floats. a and b are scalars; in every
// two-array form the output may be the input itself. n = 0 does nothing.
#pragma once

#include <math.h>

#include <cstddef>

#include "core/hd.h"

// Per-element formulas of the compound operations, for kernels that apply them directly.
QUIB_HD inline float cuda_add_multi(float v, float a, float b) { return (v + a) * b; }
QUIB_HD inline float cuda_multi_add(float v, float a, float b) { return fmaf(v, a, b); }
QUIB_HD inline float cuda_sub_divide(float v, float a, float b) { return (v - a) / b; }
QUIB_HD inline float cuda_divide_sub(float v, float a, float b) { return v / a - b; }
QUIB_HD inline float cuda_sub_sqr(float v, float a) {
  const float d = v - a;
  return d * d;
}
QUIB_HD inline float cuda_data_submean_sqr_withmask(float v, float mask, float a) { return mask * cuda_sub_sqr(v, a); }
QUIB_HD inline float cuda_sqr_withmask(float v, float mask) { return v * v * mask; }

// accumulator[i] += source[i]
void hcuda_addto_float(float* accumulator, const float* source, size_t n);
// out[i] = p[i] * q[i]
void hcuda_x1d_multi(float* out, const float* p, const float* q, size_t n);

// out[i] = in[i] + a, in[i] - a, in[i] * a, in[i] / a
void hcuda_add(float* out, const float* in, size_t n, float a);
void hcuda_sub(float* out, const float* in, size_t n, float a);
void hcuda_multi(float* out, const float* in, size_t n, float a);
void hcuda_divide(float* out, const float* in, size_t n, float a);
// out[i] = (in[i] + a) * b; fmaf(in[i], a, b); (in[i] - a) / b; in[i] / a - b
void hcuda_add_multi(float* out, const float* in, size_t n, float a, float b);
void hcuda_multi_add(float* out, const float* in, size_t n, float a, float b);
void hcuda_sub_divide(float* out, const float* in, size_t n, float a, float b);
void hcuda_divide_sub(float* out, const float* in, size_t n, float a, float b);
// out[i] = in[i]^2; (in[i] - a)^2 (both names); mask[i] (in[i] - a)^2; in[i]^2 mask[i]
void hcuda_sqr(float* out, const float* in, size_t n);
void hcuda_sub_sqr(float* out, const float* in, size_t n, float a);
void hcuda_data_submean_sqr(float* out, const float* in, size_t n, float a);
void hcuda_data_submean_sqr_withmask(float* out, const float* in, const float* mask, size_t n, float a);
void hcuda_sqr_withmask(float* out, const float* in, const float* mask, size_t n);
// Natural logarithm and square root (IEEE results for 0 and negative values).
void hcuda_logf(float* out, const float* in, size_t n);
void hcuda_sqrtf(float* out, const float* in, size_t n);

void hcuda_add_inplace(float* data, size_t n, float a);
void hcuda_sub_inplace(float* data, size_t n, float a);
void hcuda_multi_inplace(float* data, size_t n, float a);
void hcuda_divide_inplace(float* data, size_t n, float a);
void hcuda_multi_add_inplace(float* data, size_t n, float a, float b);
void hcuda_sub_divide_inplace(float* data, size_t n, float a, float b);
void hcuda_sqr_inplace(float* data, size_t n);
void hcuda_sqrtf_inplace(float* data, size_t n);
void hcuda_logf_inplace(float* data, size_t n);
// data[i] * (-1)
void hcuda_invert_inplace(float* data, size_t n);
