#include "arrays/array_ops_complex.h"

#include "arrays/array_map.h"

namespace {

void cxr_multi_elements(float2* out, const float2* p, const float* r, size_t n) {
  zip_elements(out, p, r, n, [] QUIB_HD(float2 u, float v) { return cuda_cxr_multi(u, v); });
}

}  // namespace

void hcuda_cxc_2d_add(float2* out, const float2* p, const float2* q, int nx, int ny) {
  zip_elements(out, p, q, pixel_count(nx, ny), [] QUIB_HD(float2 u, float2 v) { return float2{u.x + v.x, u.y + v.y}; });
}

void hcuda_cxc_2d_sub(float2* out, const float2* p, const float2* q, int nx, int ny) {
  zip_elements(out, p, q, pixel_count(nx, ny), [] QUIB_HD(float2 u, float2 v) { return float2{u.x - v.x, u.y - v.y}; });
}

void hcuda_cxc_2d_multi(float2* out, const float2* p, const float2* q, int nx, int ny) {
  zip_elements(out, p, q, pixel_count(nx, ny), [] QUIB_HD(float2 u, float2 v) { return cuda_cxc_multi(u, v); });
}

void hcuda_cxc_2d_divide(float2* out, const float2* p, const float2* q, int nx, int ny) {
  zip_elements(out, p, q, pixel_count(nx, ny), [] QUIB_HD(float2 u, float2 v) { return cuda_cxc_divide(u, v); });
}

void hcuda_cxc_2d_multconj(float2* out, const float2* p, const float2* q, int nx, int ny) {
  zip_elements(out, p, q, pixel_count(nx, ny), [] QUIB_HD(float2 u, float2 v) { return cuda_cxc_multconj(u, v); });
}

void hcuda_cxc_2d_multconj_divide(float2* out, const float2* p, const float2* q, float a, int nx, int ny) {
  zip_elements(out, p, q, pixel_count(nx, ny),
               [=] QUIB_HD(float2 u, float2 v) { return cuda_cxr_divide(cuda_cxc_multconj(u, v), a); });
}

void hcuda_cxr_2d_multi(float2* out, const float2* p, const float* r, int nx, int ny) {
  cxr_multi_elements(out, p, r, pixel_count(nx, ny));
}

void hcuda_cxr_2d_divide(float2* out, const float2* p, const float* r, int nx, int ny) {
  zip_elements(out, p, r, pixel_count(nx, ny), [] QUIB_HD(float2 u, float v) { return cuda_cxr_divide(u, v); });
}

void hcuda_cxc_2d_add_inplace(float2* data, const float2* q, int nx, int ny) { hcuda_cxc_2d_add(data, data, q, nx, ny); }
void hcuda_cxc_2d_sub_inplace(float2* data, const float2* q, int nx, int ny) { hcuda_cxc_2d_sub(data, data, q, nx, ny); }
void hcuda_cxc_2d_multi_inplace(float2* data, const float2* q, int nx, int ny) { hcuda_cxc_2d_multi(data, data, q, nx, ny); }
void hcuda_cxc_2d_divide_inplace(float2* data, const float2* q, int nx, int ny) { hcuda_cxc_2d_divide(data, data, q, nx, ny); }

void hcuda_cxc_2d_multconj_inplace(float2* data, const float2* q, int nx, int ny) {
  hcuda_cxc_2d_multconj(data, data, q, nx, ny);
}

void hcuda_cxr_2d_multi_inplace(float2* data, const float* r, int nx, int ny) { hcuda_cxr_2d_multi(data, data, r, nx, ny); }
void hcuda_cxr_2d_divide_inplace(float2* data, const float* r, int nx, int ny) { hcuda_cxr_2d_divide(data, data, r, nx, ny); }

void hcuda_cxr_2ds_multi_inplace(float2* stack, const float* r, int nx, int ny, int nz) {
  cxr_multi_elements(stack, stack, r, pixel_count(nx, ny, nz));
}
