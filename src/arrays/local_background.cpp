#include "arrays/local_background.h"

#include <cmath>

#include "arrays/array_flip.h"
#include "arrays/array_ops_2d.h"
#include "arrays/array_reduce.h"
#include "arrays/circular_mask.h"
#include "arrays/complex2d_kernels.h"
#include "arrays/fft_wrappers.h"
#include "backend/launch.h"
#include "backend/memory.h"
#include "core/report.h"

namespace {

// The circular convolution of the w x h image with the disk centred at its origin, divided by the
// disk's weight: each pixel becomes the weighted mean of its neighbourhood.
int soft_disk_mean(float* image, int w, int h, float radius, float width) {
  const size_t pixels = static_cast<size_t>(w) * h;
  const size_t half = static_cast<size_t>(w / 2 + 1) * h;
  DeviceBuffer<float> disk(pixels);
  hcuda_2d_generate_wrapped_rmask(disk.get(), w, h, radius, width);
  const float weight = hcuda_fast_sum(disk.get(), pixels);
  if (!(weight > 0.0f)) QUIB_FATAL("local_background", "the soft disk has no weight");
  DeviceBuffer<float2> image_ft(half);
  DeviceBuffer<float2> disk_ft(half);
  if (hcuda_2d_fft_r2c(image, image_ft.get(), w, h) != 0 || hcuda_2d_fft_r2c(disk.get(), disk_ft.get(), w, h) != 0)
    return -1;
  hcuda_cx2d_multconj_norm_inplace(image_ft.get(), disk_ft.get(), w / 2 + 1, h, static_cast<float>(pixels) * weight);
  return hcuda_2d_fft_c2r(image_ft.get(), image, w, h);
}

}  // namespace

int hcuda_2d_bg_mpad(float* bg, const float* in, int nx, int ny, float radius, float width) {
  if (const char* problem = circular_mask_problem(radius, width)) QUIB_FATAL("local_background", problem);
  DeviceBuffer<float> padded(static_cast<size_t>(4) * nx * ny);
  hcuda_2d_mirror_pad(padded.get(), in, nx, ny);
  if (soft_disk_mean(padded.get(), 2 * nx, 2 * ny, radius, width) != 0) return -1;
  hcuda_2d_mirror_pad_inv(bg, padded.get(), nx, ny);
  return 0;
}

int hcuda_2d_bg_reduce_mpad_inplace(float* data, int nx, int ny, float radius, float width) {
  DeviceBuffer<float> bg(static_cast<size_t>(nx) * ny);
  if (hcuda_2d_bg_mpad(bg.get(), data, nx, ny, radius, width) != 0) return -1;
  hcuda_x2d_sub_inplace(data, bg.get(), nx, ny);
  return 0;
}

int hcuda_2d_local_sigma_softR_mpad(float* out, const float* in, int nx, int ny, float radius, float width) {
  const size_t pixels = static_cast<size_t>(nx) * ny;
  // The spread does not change with an offset; taking the image's mean out first keeps q and m^2
  // small, so their difference does not drown in rounding.
  DeviceBuffer<float> mean(pixels);
  DeviceBuffer<float> mean_sq(pixels);
  hcuda_2d_sub(mean.get(), in, nx, ny, hcuda_fast_mean(in, pixels));
  hcuda_2d_sqr(mean_sq.get(), mean.get(), nx, ny);
  if (hcuda_2d_bg_mpad(mean.get(), mean.get(), nx, ny, radius, width) != 0 ||
      hcuda_2d_bg_mpad(mean_sq.get(), mean_sq.get(), nx, ny, radius, width) != 0)
    return -1;
  const float* m = mean.get();
  const float* q = mean_sq.get();
  launch_1d(pixels, [=] QUIB_HD(size_t i) { out[i] = sqrtf(fmaxf(q[i] - m[i] * m[i], 0.0f)); });
  return 0;
}
