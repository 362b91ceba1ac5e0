#include "arrays/complex2d_kernels.h"

#include "arrays/array_map.h"
#include "arrays/array_ops_complex.h"
#include "arrays/centred_index.h"

void hcuda_complex2d_center_swap(float2* out, const float2* in, int w, int h) {
  const size_t n = pixel_count(w, h);
  launch_1d(n, [=] QUIB_HD(size_t i) { out[centred_index(i, n)] = in[i]; });
}

void hcuda_complex2d_center_swap_norm(float2* out, const float2* in, int w, int h, float k) {
  const size_t n = pixel_count(w, h);
  launch_1d(n, [=] QUIB_HD(size_t i) { out[centred_index(i, n)] = cuda_cxr_divide(in[i], k); });
}

void hcuda_complex2d_norm(float2* out, const float2* in, int w, int h, float k) {
  map_elements(out, in, pixel_count(w, h), [=] QUIB_HD(float2 c) { return cuda_cxr_divide(c, k); });
}

void hcuda_complex2d_norm_inplace(float2* data, int w, int h, float k) { hcuda_complex2d_norm(data, data, w, h, k); }

void hcuda_cx2d_multconj_norm(const float2* p, const float2* q, float2* out, int w, int h, float k) {
  zip_elements(out, p, q, pixel_count(w, h),
               [=] QUIB_HD(float2 a, float2 b) { return cuda_cxr_divide(cuda_cxc_multconj(a, b), k); });
}

void hcuda_cx2d_multconj_norm_inplace(float2* p, const float2* q, int w, int h, float k) {
  hcuda_cx2d_multconj_norm(p, q, p, w, h, k);
}

void hcuda_c2ds_ave(float2* out, const float2* stack, int w, int h, int nz) {
  const size_t plane = pixel_count(w, h);
  launch_1d(plane, [=] QUIB_HD(size_t i) { out[i] = complex_stack_mean(stack, plane, nz, i); });
}

void hcuda_c2ds_fftout_r2c_ave(float2* out, const float2* stack, int w, int h, int nz) {
  hcuda_c2ds_ave(out, stack, w, h, nz);
}

void cpu_2ds_fftout_r2c_ave(const float2* stack, float2* out, int w, int h, int nz) {
  const size_t plane = pixel_count(w, h);
  for (size_t i = 0; i < plane; ++i) out[i] = complex_stack_mean(stack, plane, nz, i);
}
