// Fills and copies of host and device arrays: constant values, zeros, whole-image copies.
#pragma once

#include <cstddef>

#include "backend/float2.h"

void host_memset_float(float* data, float value, size_t n);
void host_memset_int(int* data, int value, size_t n);
void host_memset_uint(unsigned* data, unsigned value, size_t n);

void hcuda_memset_float(float* data, float value, size_t n);
void hcuda_memset_int(int* data, int value, size_t n);
void hcuda_memset_uint(unsigned* data, unsigned value, size_t n);

// Sets n device floats to 0.
void hcuda_empty_float(float* data, size_t n);

// Whole nx x ny images on the device (nothing happens when a side is not positive).
void hcuda_2d_empty(float* data, int nx, int ny);
void hcuda_2d_cx_empty(float2* data, int nx, int ny);
void hcuda_2d_memset(float* data, float value, int nx, int ny);
void hcuda_2d_memcpy(float* dst, const float* src, int nx, int ny);
