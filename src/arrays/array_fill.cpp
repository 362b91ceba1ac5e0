#include "arrays/array_fill.h"

#include <algorithm>

#include "arrays/array_map.h"
#include "backend/memory.h"

namespace {

template <class T>
void fill_device(T* data, T value, size_t n) {
  launch_1d(n, [=] QUIB_HD(size_t i) { data[i] = value; });
}

}  // namespace

void host_memset_float(float* data, float value, size_t n) { std::fill_n(data, n, value); }
void host_memset_int(int* data, int value, size_t n) { std::fill_n(data, n, value); }
void host_memset_uint(unsigned* data, unsigned value, size_t n) { std::fill_n(data, n, value); }

void hcuda_memset_float(float* data, float value, size_t n) { fill_device(data, value, n); }
void hcuda_memset_int(int* data, int value, size_t n) { fill_device(data, value, n); }
void hcuda_memset_uint(unsigned* data, unsigned value, size_t n) { fill_device(data, value, n); }

void hcuda_empty_float(float* data, size_t n) { hcuda_empty(data, n * sizeof(float)); }

void hcuda_2d_empty(float* data, int nx, int ny) { hcuda_empty_float(data, pixel_count(nx, ny)); }

void hcuda_2d_cx_empty(float2* data, int nx, int ny) { hcuda_empty(data, pixel_count(nx, ny) * sizeof(float2)); }

void hcuda_2d_memset(float* data, float value, int nx, int ny) { fill_device(data, value, pixel_count(nx, ny)); }

void hcuda_2d_memcpy(float* dst, const float* src, int nx, int ny) {
  memcpy_D2D(dst, src, pixel_count(nx, ny) * sizeof(float));
}
