#include "arrays/fft_wrappers.h"

#include <cmath>

#include "arrays/array_ops_1d.h"
#include "arrays/complex2d_kernels.h"
#include "backend/fft_plan.h"
#include "backend/memory.h"
#include "backend/workspace.h"

namespace {

size_t half_size(int nx, int ny) { return static_cast<size_t>(nx / 2 + 1) * ny; }

}  // namespace

float fft_norm_factor(int nx, int ny) { return static_cast<float>(std::sqrt(static_cast<double>(nx) * ny)); }

int hcuda_2d_fft_r2c(const float* in, float2* out, int nx, int ny) { return fft_plan_2d(nx, ny).forward(in, out); }

int hcuda_2d_fft_c2r(float2* in, float* out, int nx, int ny) { return fft_plan_2d(nx, ny).inverse(in, out); }

int hcuda_2ds_fft_r2c(const float* in, float2* out, int nx, int ny, int nz) {
  return nz > 0 ? fft_plan_2d(nx, ny).forward(in, out, nz) : 0;
}

int gpu_2ds_fft_r2c(const float* in, float2* out, int nx, int ny, int nz) {
  if (nz <= 0) return 0;
  const size_t real = static_cast<size_t>(nx) * ny * nz, half = half_size(nx, ny) * nz;
  DeviceBuffer<float> image = device_copy_of(in, real);
  DeviceBuffer<float2> transform(half);
  const int status = hcuda_2ds_fft_r2c(image.get(), transform.get(), nx, ny, nz);
  if (status != 0) return status;
  hcuda_complex2d_norm_inplace(transform.get(), nx / 2 + 1, ny * nz, fft_norm_factor(nx, ny));
  memcpy_D2H(out, transform.get(), transform.bytes());
  return 0;
}

int gpu_2d_fft_r2c(const float* in, float2* out, int nx, int ny) { return gpu_2ds_fft_r2c(in, out, nx, ny, 1); }

int gpu_2d_fft_c2r(const float2* in, float* out, int nx, int ny) {
  DeviceBuffer<float2> transform = device_copy_of(in, half_size(nx, ny));
  DeviceBuffer<float> image(static_cast<size_t>(nx) * ny);
  const int status = hcuda_2d_fft_c2r(transform.get(), image.get(), nx, ny);
  if (status != 0) return status;
  hcuda_divide_inplace(image.get(), image.size(), fft_norm_factor(nx, ny));
  memcpy_D2H(out, image.get(), image.bytes());
  return 0;
}
