#include "stats/host_line_fit.h"

#include <cstddef>

#include "stats/host_moments.h"

namespace {

size_t count_of(int n) { return n > 0 ? static_cast<size_t>(n) : 0; }

}  // namespace

void line_fit(const float* x, const float* y, int n, float& k, float& b) {
  const size_t count = count_of(n);
  const float mx = static_cast<float>(hm_mean(x, count));
  const float my = static_cast<float>(hm_mean(y, count));
  const float sxx = static_cast<float>(hm_sum_sqr(x, count));
  const float sxy = X_Y_By(x, y, n);
  const float nf = static_cast<float>(n);
  k = (sxy - nf * mx * my) / (sxx - nf * mx * mx);
  b = my - k * mx;
}

float X_Y_By(const float* x, const float* y, int n) {
  float sum = 0.0f;
  for (int i = 0; i < n; ++i) sum += x[i] * y[i];
  return sum;
}

float Squre_sum(const float* data, int n) { return X_Y_By(data, data, n); }

float Sum_Average(const float* data, int n) {
  float sum = 0.0f;
  for (int i = 0; i < n; ++i) sum += data[i];
  return sum / n;
}
