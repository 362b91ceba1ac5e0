#include "spectrum/spectrum_stack.h"

#include <cstddef>

#include "arrays/array_fill.h"
#include "arrays/array_ops_1d.h"
#include "backend/memory.h"
#include "core/report.h"
#include "spectrum/spectrum_amplitude_sum.h"
#include "spectrum/spectrum_background.h"
#include "spectrum/spectrum_batches.h"
#include "spectrum/spectrum_kernels.h"

namespace {

size_t spectrum_size(int bx, int by) { return static_cast<size_t>(bx / 2 + 1) * by; }

// Hands the transforms of the stack's images to use(first, count, transforms), batch by batch.
template <class Use>
void for_each_image_transform(const float* stack, int bx, int by, int nz, Use use) {
  const size_t image_size = static_cast<size_t>(bx) * by;
  for_each_transform_batch(
      bx, by, nz, false, [=](int first, int, float*) { return stack + first * image_size; }, use);
}

// out = the weighted sum of the amplitudes of all images.
void sum_amplitudes(const float* stack, float* out, int bx, int by, int nz, AmplitudeWeights weights) {
  check_box_size(bx, by);
  const size_t n = spectrum_size(bx, by);
  hcuda_empty_float(out, n);
  for_each_image_transform(stack, bx, by, nz, [=](int first, int count, const float2* transforms) {
    add_centred_amplitudes(out, transforms, count, n, first, weights);
  });
}

}  // namespace

void hcuda_2ds_fft_r2c_amp_ave(const float* stack, float* out, int bx, int by, int nz) {
  sum_amplitudes(stack, out, bx, by, nz, AmplitudeWeights());
}

void hcuda_2ds_fft_r2c_amp_ave_log(const float* stack, float* out, int bx, int by, int nz) {
  hcuda_2ds_fft_r2c_amp_ave(stack, out, bx, by, nz);
  hcuda_logf_inplace(out, spectrum_size(bx, by));
}

void hcuda_2ds_fft_r2c_amp_ave_sqrt(const float* stack, float* out, int bx, int by, int nz) {
  hcuda_2ds_fft_r2c_amp_ave(stack, out, bx, by, nz);
  hcuda_sqrtf_inplace(out, spectrum_size(bx, by));
}

void hcuda_2ds_fft_r2c_amp_ave_log_subbg(const float* stack, float* out, int bx, int by, int nz, int convsize) {
  hcuda_2ds_fft_r2c_amp_ave(stack, out, bx, by, nz);
  hcuda_2d_fft_amp_log_subbg_inplace(out, bx, by, convsize);
}

void hcuda_2ds_fft_r2c_amp_weighted_ave(const float* stack, float* out, int bx, int by, int nz, const float* weights) {
  const DeviceBuffer<float> device_weights = device_copy_of(weights, nz > 0 ? static_cast<size_t>(nz) : 0);
  AmplitudeWeights w;
  w.per_box = device_weights.get();
  sum_amplitudes(stack, out, bx, by, nz, w);
}

void hcuda_2ds_fft_r2c_amp_weighted_ave_log(const float* stack, float* out, int bx, int by, int nz,
                                            const float* weights) {
  hcuda_2ds_fft_r2c_amp_weighted_ave(stack, out, bx, by, nz, weights);
  hcuda_logf_inplace(out, spectrum_size(bx, by));
}

void hcuda_2ds_fft_r2c_amp_weighted_ave_log_subbg(const float* stack, float* out, int bx, int by, int nz, int convsize,
                                                  const float* weights, int type) {
  if (type != 1 && type != 2) QUIB_FATAL("cuda_fft", "Unkown FFT amplitude average type");
  AmplitudeWeights w;
  if (type == 1) w.per_box = weights;
  else w.per_box_maps = weights;
  sum_amplitudes(stack, out, bx, by, nz, w);
  hcuda_2d_fft_amp_log_subbg_inplace(out, bx, by, convsize);
}

void hcuda_2ds_fft_r2c_logmod(const float* stack, float* out, int bx, int by, int nz) {
  const size_t n = spectrum_size(bx, by);
  for_each_image_transform(stack, bx, by, nz, [=](int first, int count, const float2* transforms) {
    hcuda_complex_logmod(transforms, out + first * n, count * n);
  });
}
