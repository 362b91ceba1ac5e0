#include "arrays/array_moments.h"

#include <math.h>

#include "arrays/array_ops_1d.h"
#include "arrays/array_reduce.h"

float hcuda_variance(const float* data, size_t n) { return hcuda_fast_submean_sumsqr(data, n) / static_cast<float>(n); }

float hcuda_stdv(const float* data, size_t n) { return sqrtf(hcuda_variance(data, n)); }

float hcuda_variance_withmask(const float* data, const float* mask, size_t n) {
  return hcuda_fast_submean_sumsqr_withmask(data, mask, n) / hcuda_fast_sum(mask, n);
}

float hcuda_stdv_withmask(const float* data, const float* mask, size_t n) {
  return sqrtf(hcuda_variance_withmask(data, mask, n));
}

void hcuda_norm_inplace(float* data, size_t n, float scale, float offset) {
  hcuda_sub_inplace(data, n, hcuda_fast_mean(data, n));
  const float stdv = sqrtf(hcuda_fast_sumsqr(data, n) / static_cast<float>(n));
  hcuda_multi_add_inplace(data, n, scale / stdv, offset);
}

void hcuda_norm_withmask_inplace(float* data, const float* mask, size_t n, float scale, float offset) {
  const float mean = hcuda_mean_withmask(data, mask, n);
  const float stdv = hcuda_stdv_withmask(data, mask, n);
  hcuda_sub_inplace(data, n, mean);
  hcuda_multi_add_inplace(data, n, scale / stdv, offset);
}
