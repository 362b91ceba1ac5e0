#include "stats/host_normalise.h"

#include <cmath>

#include "stats/host_moments.h"

void hm_normz(float* out, const float* in, size_t n, float scale, float offset) {
  const double m = hm_mean(in, n);
  const double factor = scale / hm_stdv(in, n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<float>(offset + (in[i] - m) * factor);
}

void hm_normz_inplace(float* data, size_t n, float scale, float offset) { hm_normz(data, data, n, scale, offset); }

int hm_normz_withmask_inplace(float* data, const float* mask, size_t n) {
  double weight = 0.0, weighted_sum = 0.0;
  for (size_t i = 0; i < n; ++i) {
    weight += mask[i];
    weighted_sum += static_cast<double>(mask[i]) * data[i];
  }
  const double m = weighted_sum / weight;
  double spread = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double d = data[i] - m;
    spread += mask[i] * d * d;
  }
  const double s = std::sqrt(spread / weight);
  for (size_t i = 0; i < n; ++i) data[i] = static_cast<float>((data[i] - m) / s);
  return 0;
}

void hm_linear_norm_kb_inplace(float* data, size_t n, float k, float b) {
  for (size_t i = 0; i < n; ++i) data[i] = data[i] * k + b;
}

namespace {

template <class Op>
void apply_scalar(float* out, const float* in, size_t n, Op op) {
  for (size_t i = 0; i < n; ++i) out[i] = op(in[i]);
}

}  // namespace

void hm_add(float* out, const float* in, size_t n, float a) {
  apply_scalar(out, in, n, [a](float v) { return v + a; });
}
void hm_sub(float* out, const float* in, size_t n, float a) {
  apply_scalar(out, in, n, [a](float v) { return v - a; });
}
void hm_multi(float* out, const float* in, size_t n, float a) {
  apply_scalar(out, in, n, [a](float v) { return v * a; });
}
void hm_divide(float* out, const float* in, size_t n, float a) {
  apply_scalar(out, in, n, [a](float v) { return v / a; });
}
void hm_add_inplace(float* data, size_t n, float a) { hm_add(data, data, n, a); }
void hm_sub_inplace(float* data, size_t n, float a) { hm_sub(data, data, n, a); }
void hm_multi_inplace(float* data, size_t n, float a) { hm_multi(data, data, n, a); }
void hm_divide_inplace(float* data, size_t n, float a) { hm_divide(data, data, n, a); }
void hm_invert(float* out, const float* in, size_t n) { hm_multi(out, in, n, -1.0f); }
void hm_invert_inplace(float* data, size_t n) { hm_multi(data, data, n, -1.0f); }
