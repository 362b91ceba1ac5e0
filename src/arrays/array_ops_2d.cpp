#include "arrays/array_ops_2d.h"

#include <math.h>

#include <cstdint>
#include <cstring>

#include "arrays/array_map.h"
#include "arrays/array_ops_1d.h"
#include "core/report.h"

namespace {

void refuse_zero_divisor(float divisor, const char* function) {
  if (divisor == 0.0f) quib_fatal(function, "process2d_raw", __LINE__, "divisor must be non-zero value\n");
}

}  // namespace

void hcuda_x2d_add(float* out, const float* p, const float* q, int nx, int ny) {
  zip_elements(out, p, q, pixel_count(nx, ny), [] QUIB_HD(float u, float v) { return u + v; });
}

void hcuda_x2d_sub(float* out, const float* p, const float* q, int nx, int ny) {
  zip_elements(out, p, q, pixel_count(nx, ny), [] QUIB_HD(float u, float v) { return u - v; });
}

void hcuda_x2d_multi(float* out, const float* p, const float* q, int nx, int ny) {
  hcuda_x1d_multi(out, p, q, pixel_count(nx, ny));
}

void hcuda_x2d_divide(float* out, const float* p, const float* q, int nx, int ny) {
  zip_elements(out, p, q, pixel_count(nx, ny), [] QUIB_HD(float u, float v) { return u / v; });
}

void hcuda_x2d_add_inplace(float* data, const float* q, int nx, int ny) { hcuda_x2d_add(data, data, q, nx, ny); }
void hcuda_x2d_sub_inplace(float* data, const float* q, int nx, int ny) { hcuda_x2d_sub(data, data, q, nx, ny); }
void hcuda_x2d_multi_inplace(float* data, const float* q, int nx, int ny) { hcuda_x2d_multi(data, data, q, nx, ny); }
void hcuda_x2d_divide_inplace(float* data, const float* q, int nx, int ny) { hcuda_x2d_divide(data, data, q, nx, ny); }

void hcuda_x2ds_multi_inplace(float* stack, const float* q, int nx, int ny, int nz) {
  hcuda_x1d_multi(stack, stack, q, pixel_count(nx, ny, nz));
}

void hcuda_2d_add(float* out, const float* in, int nx, int ny, float a) { hcuda_add(out, in, pixel_count(nx, ny), a); }
void hcuda_2d_sub(float* out, const float* in, int nx, int ny, float a) { hcuda_sub(out, in, pixel_count(nx, ny), a); }
void hcuda_2d_multi(float* out, const float* in, int nx, int ny, float a) { hcuda_multi(out, in, pixel_count(nx, ny), a); }

void hcuda_2d_divide(float* out, const float* in, int nx, int ny, float a) {
  refuse_zero_divisor(a, __func__);
  hcuda_divide(out, in, pixel_count(nx, ny), a);
}

void hcuda_2d_sub_divide(float* out, const float* in, int nx, int ny, float a, float b) {
  refuse_zero_divisor(b, __func__);
  hcuda_sub_divide(out, in, pixel_count(nx, ny), a, b);
}

void hcuda_2d_sqr(float* out, const float* in, int nx, int ny) { hcuda_sqr(out, in, pixel_count(nx, ny)); }
void hcuda_2d_sqrt(float* out, const float* in, int nx, int ny) { hcuda_sqrtf(out, in, pixel_count(nx, ny)); }
void hcuda_2d_log(float* out, const float* in, int nx, int ny) { hcuda_logf(out, in, pixel_count(nx, ny)); }
void hcuda_2d_logf(float* out, const float* in, int nx, int ny) { hcuda_logf(out, in, pixel_count(nx, ny)); }

void hcuda_2d_abs(float* out, const float* in, int nx, int ny) {
  map_elements(out, in, pixel_count(nx, ny), [] QUIB_HD(float v) { return fabsf(v); });
}

void hcuda_2d_exp(float* out, const float* in, int nx, int ny) {
  map_elements(out, in, pixel_count(nx, ny), [] QUIB_HD(float v) { return expf(v); });
}

void hcuda_2d_log2(float* out, const float* in, int nx, int ny) {
  map_elements(out, in, pixel_count(nx, ny), [] QUIB_HD(float v) { return log2f(v); });
}

void hcuda_2d_log10(float* out, const float* in, int nx, int ny) {
  map_elements(out, in, pixel_count(nx, ny), [] QUIB_HD(float v) { return log10f(v); });
}

void hcuda_2d_pow(float* out, const float* in, int nx, int ny, float a) {
  map_elements(out, in, pixel_count(nx, ny), [=] QUIB_HD(float v) { return powf(v, a); });
}

void hcuda_2d_add_inplace(float* data, int nx, int ny, float a) { hcuda_2d_add(data, data, nx, ny, a); }
void hcuda_2d_sub_inplace(float* data, int nx, int ny, float a) { hcuda_2d_sub(data, data, nx, ny, a); }
void hcuda_2d_multi_inplace(float* data, int nx, int ny, float a) { hcuda_2d_multi(data, data, nx, ny, a); }
void hcuda_2d_divide_inplace(float* data, int nx, int ny, float a) { hcuda_divide_inplace(data, pixel_count(nx, ny), a); }

void hcuda_2d_sub_divide_inplace(float* data, int nx, int ny, float a, float b) {
  hcuda_sub_divide_inplace(data, pixel_count(nx, ny), a, b);
}

void hcuda_2d_sqr_inplace(float* data, int nx, int ny) { hcuda_2d_sqr(data, data, nx, ny); }
void hcuda_2d_sqrt_inplace(float* data, int nx, int ny) { hcuda_2d_sqrt(data, data, nx, ny); }
void hcuda_2d_abs_inplace(float* data, int nx, int ny) { hcuda_2d_abs(data, data, nx, ny); }
void hcuda_2d_exp_inplace(float* data, int nx, int ny) { hcuda_2d_exp(data, data, nx, ny); }
void hcuda_2d_log_inplace(float* data, int nx, int ny) { hcuda_2d_log(data, data, nx, ny); }
void hcuda_2d_logf_inplace(float* data, int nx, int ny) { hcuda_2d_logf(data, data, nx, ny); }
void hcuda_2d_log2_inplace(float* data, int nx, int ny) { hcuda_2d_log2(data, data, nx, ny); }
void hcuda_2d_log10_inplace(float* data, int nx, int ny) { hcuda_2d_log10(data, data, nx, ny); }
void hcuda_2d_pow_inplace(float* data, int nx, int ny, float a) { hcuda_2d_pow(data, data, nx, ny, a); }
void hcuda_2d_invert_inplace(float* data, int nx, int ny) { hcuda_invert_inplace(data, pixel_count(nx, ny)); }

void host_2d_invert_inplace(float* data, int nx, int ny) {
  const size_t n = pixel_count(nx, ny);
  for (size_t i = 0; i < n; ++i) {
    uint32_t bits;
    memcpy(&bits, &data[i], sizeof bits);
    bits ^= 0x80000000u;
    memcpy(&data[i], &bits, sizeof bits);
  }
}
