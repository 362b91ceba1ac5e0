#include "arrays/array_reduce.h"

#include "arrays/array_ops_1d.h"
#include "arrays/array_tree_total.h"
#include "backend/launch.h"
#include "backend/memory.h"

float hcuda_fast_sum(const float* data, size_t n) {
  return tree_total_of(kTreeWidth, n, [=] QUIB_HD(size_t i) { return data[i]; });
}

float hcuda_fast_sum2(const float* data, float* scratch, size_t n) {
  return caller_tree_total(
      kTreeWidth, n, [=] QUIB_HD(size_t i) { return data[i]; }, scratch);
}

float hcuda_fast_sum_inplace(float* data, size_t n) { return hcuda_fast_sum(data, n); }

float hcuda_fast_sum6(const float* data, float* scratch, size_t n) {
  return caller_tree_total(
      kTreeWidth2, n, [=] QUIB_HD(size_t i) { return data[i]; }, scratch);
}

float hcuda_fast_sum6_inplace(float* data, size_t n) {
  return tree_total_of(kTreeWidth2, n, [=] QUIB_HD(size_t i) { return data[i]; });
}

float hcuda_fast_sumsqr(const float* data, size_t n) {
  return tree_total_of(kTreeWidth, n, [=] QUIB_HD(size_t i) { return data[i] * data[i]; });
}

float hcuda_fast_sumsqr_inplace(float* data, size_t n) {
  hcuda_sqr_inplace(data, n);
  return hcuda_fast_sum(data, n);
}

float hcuda_fast_mean(const float* data, size_t n) { return hcuda_fast_sum(data, n) / static_cast<float>(n); }

float hcuda_fast_submean_sumsqr(const float* data, size_t n) {
  const float mean = hcuda_fast_mean(data, n);
  return tree_total_of(kTreeWidth, n, [=] QUIB_HD(size_t i) { return cuda_sub_sqr(data[i], mean); });
}

float hcuda_fast_sum_withmask(const float* data, const float* mask, size_t n) {
  return tree_total_of(kTreeWidth, n, [=] QUIB_HD(size_t i) { return data[i] * mask[i]; });
}

float hcuda_fast_sumsqr_withmask(const float* data, const float* mask, size_t n) {
  return tree_total_of(kTreeWidth, n, [=] QUIB_HD(size_t i) { return cuda_sqr_withmask(data[i], mask[i]); });
}

float hcuda_mean_withmask(const float* data, const float* mask, size_t n) {
  return hcuda_fast_sum_withmask(data, mask, n) / hcuda_fast_sum(mask, n);
}

float hcuda_fast_submean_sumsqr_withmask(const float* data, const float* mask, size_t n) {
  const float mean = hcuda_mean_withmask(data, mask, n);
  return tree_total_of(kTreeWidth, n,
                       [=] QUIB_HD(size_t i) { return cuda_data_submean_sqr_withmask(data[i], mask[i], mean); });
}
