// Sums, moments and correlation coefficients of host float arrays. Every sum is accumulated in
// double precision in increasing index order; products marked "in float" are formed in single
// precision before they are added. An empty array gives sums of 0 and means of NaN.
#pragma once

#include <cstddef>

double hm_sum(const float* data, size_t n);
double hm_mean(const float* data, size_t n);
float hm_meanf(const float* data, size_t n);
// Sum of squares, each square in float.
double hm_sum_sqr(const float* data, size_t n);
double hm_mod(const float* data, size_t n);
double hm_L2_norm(const float* data, size_t n);
double hm_L1_norm(const float* data, size_t n);
// (sum |data[i]|^p)^(1/p): each power in float, the outer power in double.
double hm_Lp_norm(const float* data, size_t n, float p);
// Population variance (divisor n) and its square root.
double hm_variance(const float* data, size_t n);
double hm_stdv(const float* data, size_t n);
void hm_mean_stdv(const float* data, size_t n, float& mean, float& stdv);
// Turns the mean and standard deviation of n values into those of n + 1 values once value is
// added; returns the new mean.
float hm_update_mean_stdv_by_one_more(float& mean, float& stdv, size_t n, float value);

// Sum of p[i] q[i], each product in float.
double hm_dot_product(const float* p, const float* q, size_t n);
// Sum of (q[i] - mean q)(p[i] - mean p), not divided by n.
double hm_covariance(const float* p, const float* q, size_t n);
// sum pq / sqrt(sum p^2 sum q^2), without removing the means.
float hm_ccc_unnorm(const float* p, const float* q, size_t n);
// Pearson correlation: normalises p and q in place to zero mean and unit spread first.
float hm_ccc_norm_inplace(float* p, float* q, size_t n);
// Pearson correlation of unchanged p and q.
float hm_ccc_norm(const float* p, const float* q, size_t n);
