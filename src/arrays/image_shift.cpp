#include "arrays/image_shift.h"

#include <math.h>

#include "arrays/array_ops_1d.h"
#include "arrays/complex2d_kernels.h"
#include "arrays/fft_wrappers.h"
#include "backend/fft_plan.h"
#include "backend/launch.h"
#include "backend/memory.h"
#include "backend/workspace.h"

void hcuda_c2d_linear_Pshift(const float2* in, float2* out, int w, int h, float sx, float sy) {
  const float two_pi = 6.28318530717958647692f;
  launch_2d(w, h, [=] QUIB_HD(int x, int y) {
    const int ky = y < h / 2 ? y : y - h;
    const float phase = two_pi * sx * x / (2 * (w - 1)) + two_pi * sy * ky / h;
    const float c = cosf(phase), s = sinf(phase);
    const size_t i = static_cast<size_t>(y) * w + x;
    const float2 v = in[i];
    out[i] = float2{v.x * c + v.y * s, v.y * c - v.x * s};
  });
}

void hcuda_c2d_linear_Pshift_inplace(float2* data, int w, int h, float sx, float sy) {
  hcuda_c2d_linear_Pshift(data, data, w, h, sx, sy);
}

void hcuda_2d_shift(const float* in, float* out, int nx, int ny, float sx, float sy) {
  const int w = nx / 2 + 1;
  const float norm = fft_norm_factor(nx, ny);
  const FftPlan2d& plan = fft_plan_2d(nx, ny);
  DeviceBuffer<float2> transform(static_cast<size_t>(w) * ny);
  plan.forward(in, transform.get());
  hcuda_complex2d_norm_inplace(transform.get(), w, ny, norm);
  hcuda_c2d_linear_Pshift_inplace(transform.get(), w, ny, sx, sy);
  plan.inverse(transform.get(), out);
  hcuda_divide_inplace(out, static_cast<size_t>(nx) * ny, norm);
}

void hcuda_2d_shift_inplace(float* data, int nx, int ny, float sx, float sy) { hcuda_2d_shift(data, data, nx, ny, sx, sy); }

void gpu_2d_shift(const float* in, float* out, int nx, int ny, float sx, float sy) {
  DeviceBuffer<float> image = device_copy_of(in, static_cast<size_t>(nx) * ny);
  hcuda_2d_shift_inplace(image.get(), nx, ny, sx, sy);
  memcpy_D2H(out, image.get(), image.bytes());
}

void gpu_2d_shift2(const float* in, float* out, int nx, int ny, float sx, float sy) { gpu_2d_shift(in, out, nx, ny, sx, sy); }

void gpu_2d_shift_inplace(float* data, int nx, int ny, float sx, float sy) { gpu_2d_shift(data, data, nx, ny, sx, sy); }
