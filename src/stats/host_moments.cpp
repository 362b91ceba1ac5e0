#include "stats/host_moments.h"

#include <cmath>
#include <vector>

#include "stats/host_normalise.h"

double hm_sum(const float* data, size_t n) {
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += data[i];
  return sum;
}

double hm_mean(const float* data, size_t n) { return hm_sum(data, n) / static_cast<double>(n); }

float hm_meanf(const float* data, size_t n) { return static_cast<float>(hm_mean(data, n)); }

double hm_sum_sqr(const float* data, size_t n) { return hm_dot_product(data, data, n); }

double hm_mod(const float* data, size_t n) { return std::sqrt(hm_sum_sqr(data, n)); }

double hm_L2_norm(const float* data, size_t n) { return hm_mod(data, n); }

double hm_L1_norm(const float* data, size_t n) {
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += std::fabs(data[i]);
  return sum;
}

double hm_Lp_norm(const float* data, size_t n, float p) {
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += powf(std::fabs(data[i]), p);
  return std::pow(sum, 1.0 / p);
}

double hm_variance(const float* data, size_t n) {
  const double m = hm_mean(data, n);
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double d = data[i] - m;
    sum += d * d;
  }
  return sum / static_cast<double>(n);
}

double hm_stdv(const float* data, size_t n) { return std::sqrt(hm_variance(data, n)); }

void hm_mean_stdv(const float* data, size_t n, float& mean, float& stdv) {
  mean = static_cast<float>(hm_mean(data, n));
  stdv = static_cast<float>(hm_stdv(data, n));
}

float hm_update_mean_stdv_by_one_more(float& mean, float& stdv, size_t n, float value) {
  const float count = static_cast<float>(n);
  const float sum = count * mean + value;
  const float sum_sqr = count * (mean * mean + stdv * stdv) + value * value;
  mean = static_cast<float>(static_cast<double>(sum) / (static_cast<double>(n) + 1.0));
  const float mean_sqr = mean * mean;
  const double variance = static_cast<double>(sum_sqr) / (static_cast<double>(n) + 1.0) - mean_sqr;
  // Rounding can leave a tiny negative variance for values that are all alike; their spread is 0.
  stdv = static_cast<float>(std::sqrt(variance > 0.0 ? variance : 0.0));
  return mean;
}

double hm_dot_product(const float* p, const float* q, size_t n) {
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += p[i] * q[i];
  return sum;
}

double hm_covariance(const float* p, const float* q, size_t n) {
  const double mp = hm_mean(p, n), mq = hm_mean(q, n);
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += (q[i] - mq) * (p[i] - mp);
  return sum;
}

float hm_ccc_unnorm(const float* p, const float* q, size_t n) {
  const double pq = hm_dot_product(p, q, n);
  return static_cast<float>(pq / std::sqrt(hm_sum_sqr(p, n) * hm_sum_sqr(q, n)));
}

float hm_ccc_norm_inplace(float* p, float* q, size_t n) {
  hm_normz_inplace(p, n, 1.0f, 0.0f);
  hm_normz_inplace(q, n, 1.0f, 0.0f);
  return hm_ccc_unnorm(p, q, n);
}

float hm_ccc_norm(const float* p, const float* q, size_t n) {
  std::vector<float> p_copy(p, p + n), q_copy(q, q + n);
  return hm_ccc_norm_inplace(p_copy.data(), q_copy.data(), n);
}
