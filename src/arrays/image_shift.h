// Translation of real images through their Fourier transforms (circular: what leaves one edge comes
// back at the other).
#pragma once

#include "backend/float2.h"

// Multiplies element (x, y) of a half-complex array (w wide, h high) by exp(-i phi) with
// phi = 2 pi sx x / (2 (w - 1)) + 2 pi sy ky / h, ky = y for y < h/2 and y - h otherwise.
// With the forward transform's sign this moves the image by +sx columns and +sy rows.
void hcuda_c2d_linear_Pshift(const float2* in, float2* out, int w, int h, float sx, float sy);
void hcuda_c2d_linear_Pshift_inplace(float2* data, int w, int h, float sx, float sy);

// Moves an nx x ny image by (sx, sy) pixels: forward transform, division by sqrt(nx ny), the phase
// factor above, inverse transform, division by sqrt(nx ny). Device arrays for hcuda_, host arrays
// for gpu_; gpu_2d_shift2 is a second name of gpu_2d_shift.
void hcuda_2d_shift(const float* in, float* out, int nx, int ny, float sx, float sy);
void hcuda_2d_shift_inplace(float* data, int nx, int ny, float sx, float sy);
void gpu_2d_shift(const float* in, float* out, int nx, int ny, float sx, float sy);
void gpu_2d_shift2(const float* in, float* out, int nx, int ny, float sx, float sy);
void gpu_2d_shift_inplace(float* data, int nx, int ny, float sx, float sy);
