// Element-wise operations on complex nx x ny arrays on the device. "cxc" combines two complex
// arrays, "cxr" a complex array with a real one of the same width and height. The output may be
// an input itself.
#pragma once

#include "backend/float2.h"
#include "core/hd.h"

QUIB_HD inline float2 cuda_cxc_multi(float2 p, float2 q) { return float2{p.x * q.x - p.y * q.y, p.x * q.y + p.y * q.x}; }
// p conj(q)
QUIB_HD inline float2 cuda_cxc_multconj(float2 p, float2 q) { return float2{p.x * q.x + p.y * q.y, p.y * q.x - p.x * q.y}; }
QUIB_HD inline float2 cuda_cxr_multi(float2 p, float r) { return float2{p.x * r, p.y * r}; }
QUIB_HD inline float2 cuda_cxr_divide(float2 p, float r) { return float2{p.x / r, p.y / r}; }
// p / q = p conj(q) / |q|^2
QUIB_HD inline float2 cuda_cxc_divide(float2 p, float2 q) { return cuda_cxr_divide(cuda_cxc_multconj(p, q), q.x * q.x + q.y * q.y); }

// out = p + q, p - q, p q, p / q, p conj(q); p conj(q) / a.
void hcuda_cxc_2d_add(float2* out, const float2* p, const float2* q, int nx, int ny);
void hcuda_cxc_2d_sub(float2* out, const float2* p, const float2* q, int nx, int ny);
void hcuda_cxc_2d_multi(float2* out, const float2* p, const float2* q, int nx, int ny);
void hcuda_cxc_2d_divide(float2* out, const float2* p, const float2* q, int nx, int ny);
void hcuda_cxc_2d_multconj(float2* out, const float2* p, const float2* q, int nx, int ny);
void hcuda_cxc_2d_multconj_divide(float2* out, const float2* p, const float2* q, float a, int nx, int ny);
// Both parts of p multiplied or divided by the real r.
void hcuda_cxr_2d_multi(float2* out, const float2* p, const float* r, int nx, int ny);
void hcuda_cxr_2d_divide(float2* out, const float2* p, const float* r, int nx, int ny);

void hcuda_cxc_2d_add_inplace(float2* data, const float2* q, int nx, int ny);
void hcuda_cxc_2d_sub_inplace(float2* data, const float2* q, int nx, int ny);
void hcuda_cxc_2d_multi_inplace(float2* data, const float2* q, int nx, int ny);
void hcuda_cxc_2d_divide_inplace(float2* data, const float2* q, int nx, int ny);
void hcuda_cxc_2d_multconj_inplace(float2* data, const float2* q, int nx, int ny);
void hcuda_cxr_2d_multi_inplace(float2* data, const float* r, int nx, int ny);
void hcuda_cxr_2d_divide_inplace(float2* data, const float* r, int nx, int ny);
// Image z of the complex stack times image z of the real stack r, z < nz.
void hcuda_cxr_2ds_multi_inplace(float2* stack, const float* r, int nx, int ny, int nz);
