// Normalisation and element-wise scalar arithmetic of host float arrays.
#pragma once

#include <cstddef>

// out[i] = offset + (in[i] - mean)(scale / stdv), in double with the mean and population standard
// deviation of in; out may be in. A constant array has stdv 0 and gives infinities or NaN.
void hm_normz(float* out, const float* in, size_t n, float scale, float offset);
void hm_normz_inplace(float* data, size_t n, float scale, float offset);
// Every element becomes (data - m)/s with the mask-weighted mean m and standard deviation s;
// returns 0.
int hm_normz_withmask_inplace(float* data, const float* mask, size_t n);
// data[i] = data[i] k + b, in float.
void hm_linear_norm_kb_inplace(float* data, size_t n, float k, float b);

// out[i] = in[i] op a; out may be in.
void hm_add(float* out, const float* in, size_t n, float a);
void hm_sub(float* out, const float* in, size_t n, float a);
void hm_multi(float* out, const float* in, size_t n, float a);
void hm_divide(float* out, const float* in, size_t n, float a);
void hm_add_inplace(float* data, size_t n, float a);
void hm_sub_inplace(float* data, size_t n, float a);
void hm_multi_inplace(float* data, size_t n, float a);
void hm_divide_inplace(float* data, size_t n, float a);
// Multiplication by -1.
void hm_invert(float* out, const float* in, size_t n);
void hm_invert_inplace(float* data, size_t n);
