// Complex 2D arrays of width w (normally nx/2 + 1) and height h on the device: centring,
// normalisation, the normalised cross-power p conj(q) / k, and the mean of a stack of them.
#pragma once

#include <cstddef>

#include "backend/float2.h"
#include "core/hd.h"

// Image `plane` values apart, summed over nz images in image order, divided by nz.
QUIB_HD inline float2 complex_stack_mean(const float2* stack, size_t plane, int nz, size_t i) {
  float2 sum = {0.0f, 0.0f};
  for (int z = 0; z < nz; ++z) {
    sum.x += stack[z * plane + i].x;
    sum.y += stack[z * plane + i].y;
  }
  return float2{sum.x / nz, sum.y / nz};
}

// out[(i + w h/2) mod (w h)] = in[i]; the _norm form divides both parts by k. out must not be in.
void hcuda_complex2d_center_swap(float2* out, const float2* in, int w, int h);
void hcuda_complex2d_center_swap_norm(float2* out, const float2* in, int w, int h, float k);
// out = in / k (both parts).
void hcuda_complex2d_norm(float2* out, const float2* in, int w, int h, float k);
void hcuda_complex2d_norm_inplace(float2* data, int w, int h, float k);
// out = p conj(q) / k; the _inplace form stores into p.
void hcuda_cx2d_multconj_norm(const float2* p, const float2* q, float2* out, int w, int h, float k);
void hcuda_cx2d_multconj_norm_inplace(float2* p, const float2* q, int w, int h, float k);
// out = mean of the nz complex images of the stack (two names for one operation).
void hcuda_c2ds_ave(float2* out, const float2* stack, int w, int h, int nz);
void hcuda_c2ds_fftout_r2c_ave(float2* out, const float2* stack, int w, int h, int nz);
// The same on host arrays (stack first).
void cpu_2ds_fftout_r2c_ave(const float2* stack, float2* out, int w, int h, int nz);
