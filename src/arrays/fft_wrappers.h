// 2D FFTs of images and stacks. The hcuda_ forms work on device arrays and leave the transforms
// unnormalised; the gpu_ forms take host arrays, copy them to the device and back, and divide each
// direction by sqrt(nx ny), so a forward and an inverse transform in turn restore the image.
// Half-complex arrays have ny rows of nx/2 + 1 values (fft_plan.h). Each returns the status of its
// transform: 0, or -1 after a device failure (a gpu_ form then leaves its output unwritten).
#pragma once

#include "backend/float2.h"

// sqrt(nx ny), taken in double precision and rounded to float.
float fft_norm_factor(int nx, int ny);

int hcuda_2d_fft_r2c(const float* in, float2* out, int nx, int ny);
// The input may be overwritten.
int hcuda_2d_fft_c2r(float2* in, float* out, int nx, int ny);
// Each of nz consecutive images into consecutive half-complex arrays.
int hcuda_2ds_fft_r2c(const float* in, float2* out, int nx, int ny, int nz);

int gpu_2d_fft_r2c(const float* in, float2* out, int nx, int ny);
int gpu_2d_fft_c2r(const float2* in, float* out, int nx, int ny);
int gpu_2ds_fft_r2c(const float* in, float2* out, int nx, int ny, int nz);
