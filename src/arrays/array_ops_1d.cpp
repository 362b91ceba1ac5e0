#include "arrays/array_ops_1d.h"

#include "arrays/array_map.h"

void hcuda_addto_float(float* accumulator, const float* source, size_t n) {
  zip_elements(accumulator, accumulator, source, n, [] QUIB_HD(float s, float v) { return s + v; });
}

void hcuda_x1d_multi(float* out, const float* p, const float* q, size_t n) {
  zip_elements(out, p, q, n, [] QUIB_HD(float u, float v) { return u * v; });
}

void hcuda_add(float* out, const float* in, size_t n, float a) {
  map_elements(out, in, n, [=] QUIB_HD(float v) { return v + a; });
}

void hcuda_sub(float* out, const float* in, size_t n, float a) {
  map_elements(out, in, n, [=] QUIB_HD(float v) { return v - a; });
}

void hcuda_multi(float* out, const float* in, size_t n, float a) {
  map_elements(out, in, n, [=] QUIB_HD(float v) { return v * a; });
}

void hcuda_divide(float* out, const float* in, size_t n, float a) {
  map_elements(out, in, n, [=] QUIB_HD(float v) { return v / a; });
}

void hcuda_add_multi(float* out, const float* in, size_t n, float a, float b) {
  map_elements(out, in, n, [=] QUIB_HD(float v) { return cuda_add_multi(v, a, b); });
}

void hcuda_multi_add(float* out, const float* in, size_t n, float a, float b) {
  map_elements(out, in, n, [=] QUIB_HD(float v) { return cuda_multi_add(v, a, b); });
}

void hcuda_sub_divide(float* out, const float* in, size_t n, float a, float b) {
  map_elements(out, in, n, [=] QUIB_HD(float v) { return cuda_sub_divide(v, a, b); });
}

void hcuda_divide_sub(float* out, const float* in, size_t n, float a, float b) {
  map_elements(out, in, n, [=] QUIB_HD(float v) { return cuda_divide_sub(v, a, b); });
}

void hcuda_sqr(float* out, const float* in, size_t n) {
  map_elements(out, in, n, [] QUIB_HD(float v) { return v * v; });
}

void hcuda_sub_sqr(float* out, const float* in, size_t n, float a) {
  map_elements(out, in, n, [=] QUIB_HD(float v) { return cuda_sub_sqr(v, a); });
}

void hcuda_data_submean_sqr(float* out, const float* in, size_t n, float a) { hcuda_sub_sqr(out, in, n, a); }

void hcuda_data_submean_sqr_withmask(float* out, const float* in, const float* mask, size_t n, float a) {
  zip_elements(out, in, mask, n, [=] QUIB_HD(float v, float m) { return cuda_data_submean_sqr_withmask(v, m, a); });
}

void hcuda_sqr_withmask(float* out, const float* in, const float* mask, size_t n) {
  zip_elements(out, in, mask, n, [] QUIB_HD(float v, float m) { return cuda_sqr_withmask(v, m); });
}

void hcuda_logf(float* out, const float* in, size_t n) {
  map_elements(out, in, n, [] QUIB_HD(float v) { return logf(v); });
}

void hcuda_sqrtf(float* out, const float* in, size_t n) {
  map_elements(out, in, n, [] QUIB_HD(float v) { return sqrtf(v); });
}

void hcuda_add_inplace(float* data, size_t n, float a) { hcuda_add(data, data, n, a); }
void hcuda_sub_inplace(float* data, size_t n, float a) { hcuda_sub(data, data, n, a); }
void hcuda_multi_inplace(float* data, size_t n, float a) { hcuda_multi(data, data, n, a); }
void hcuda_divide_inplace(float* data, size_t n, float a) { hcuda_divide(data, data, n, a); }
void hcuda_multi_add_inplace(float* data, size_t n, float a, float b) { hcuda_multi_add(data, data, n, a, b); }
void hcuda_sub_divide_inplace(float* data, size_t n, float a, float b) { hcuda_sub_divide(data, data, n, a, b); }
void hcuda_sqr_inplace(float* data, size_t n) { hcuda_sqr(data, data, n); }
void hcuda_sqrtf_inplace(float* data, size_t n) { hcuda_sqrtf(data, data, n); }
void hcuda_logf_inplace(float* data, size_t n) { hcuda_logf(data, data, n); }
void hcuda_invert_inplace(float* data, size_t n) { hcuda_multi(data, data, n, -1.0f); }
