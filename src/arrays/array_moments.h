// Spreads of device arrays built on the tree sums: population variance (divided by n, or by the
// sum of the mask), standard deviation, and normalisation to a chosen scale and offset.
// All in single precision.
#pragma once

#include <cstddef>

// hcuda_fast_submean_sumsqr / n, and its square root.
float hcuda_variance(const float* data, size_t n);
float hcuda_stdv(const float* data, size_t n);
// hcuda_fast_submean_sumsqr_withmask / sum(mask), and its square root.
float hcuda_variance_withmask(const float* data, const float* mask, size_t n);
float hcuda_stdv_withmask(const float* data, const float* mask, size_t n);

// data <- (data - mean) * (scale / stdv) + offset, the last step one fused multiply-add. A constant
// array (stdv 0) becomes NaN, as IEEE division gives.
void hcuda_norm_inplace(float* data, size_t n, float scale, float offset);
// The same with the masked mean and standard deviation; every element is transformed.
void hcuda_norm_withmask_inplace(float* data, const float* mask, size_t n, float scale, float offset);
