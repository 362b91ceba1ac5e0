#include "spectrum/spectrum_kernels.h"

#include "backend/launch.h"

void hcuda_complex_mod(const float2* in, float* out, size_t n) {
  launch_1d(n, [=] QUIB_HD(size_t i) { cuda_complex_mod(in, out, i); });
}

void hcuda_complex_mod_square(const float2* in, float* out, size_t n) {
  launch_1d(n, [=] QUIB_HD(size_t i) { cuda_complex_mod_square(in, out, i); });
}

void hcuda_complex_logmod(const float2* in, float* out, size_t n) {
  launch_1d(n, [=] QUIB_HD(size_t i) { cuda_complex_logmod(in, out, i); });
}

void hcuda_complex_logmod_forced_positive(const float2* in, float* out, size_t n) {
  launch_1d(n, [=] QUIB_HD(size_t i) { cuda_complex_logmod_forced_positive(in, out, i); });
}

void hcuda_complex_mod_center_swap(float* out, const float2* in, size_t n) {
  launch_1d(n, [=] QUIB_HD(size_t i) { cuda_complex_mod_center_swap(out, in, n, i); });
}

void hcuda_complex_logmod_center_swap(float* out, const float2* in, size_t n) {
  launch_1d(n, [=] QUIB_HD(size_t i) { cuda_complex_logmod_center_swap(out, in, n, i); });
}

void hcuda_complex_mod_addto_center_swap(float* acc, const float2* in, size_t n) {
  launch_1d(n, [=] QUIB_HD(size_t i) {
    const size_t j = centred_index(i, n);
    acc[j] = acc[j] + complex_amplitude(in[i]);
  });
}

void hcuda_complex_mod_weighted_addto_center_swap(float* acc, const float2* in, size_t n, float w) {
  launch_1d(n, [=] QUIB_HD(size_t i) { cuda_complex_mod_weighted_addto_center_swap(acc, in, n, w, i); });
}

void hcuda_complex_mod_Ws_addto_center_swap(float* acc, const float2* in, size_t n, const float* W) {
  launch_1d(n, [=] QUIB_HD(size_t i) {
    const size_t j = centred_index(i, n);
    acc[j] = acc[j] + complex_amplitude(in[i]) * W[j];
  });
}
