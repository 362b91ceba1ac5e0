// Sums and means of device arrays by the fixed tree: consecutive blocks of 1024 values (the last
// padded with zeros) are added pairwise, for s = 1, 2, ..., 512 position j (a multiple of 2s)
// receiving a[j] += a[j + s]; the block totals in block order are summed again the same way until
// one value is left. Both backends add in exactly this order, so they agree bit for bit.
// Every function returns its result on the host; a sum of n = 0 values is 0.
// Scratch for the pass totals comes from the calling thread's workspace (workspace.h) and is
// grown on demand, so repeated sums of one size allocate nothing.
#pragma once

#include <cstddef>

// The sum of data. hcuda_fast_sum2 writes the first pass's totals into the caller's scratch
// (ceil(n / 1024) floats). The _inplace form may be handed data that is not needed afterwards;
// this implementation leaves it unchanged.
float hcuda_fast_sum(const float* data, size_t n);
float hcuda_fast_sum2(const float* data, float* scratch, size_t n);
float hcuda_fast_sum_inplace(float* data, size_t n);

// The same sum with blocks of 2048: position t of a block first holds the pair x[t] + x[t + 1024],
// and the 1024 pair sums are folded by halving (s = 512, 256, ..., 1: a[j] += a[j + s], j < s).
// hcuda_fast_sum6 needs scratch for ceil(n / 2048) floats.
float hcuda_fast_sum6(const float* data, float* scratch, size_t n);
float hcuda_fast_sum6_inplace(float* data, size_t n);

// The sum of data^2; the _inplace form leaves the squares in data.
float hcuda_fast_sumsqr(const float* data, size_t n);
float hcuda_fast_sumsqr_inplace(float* data, size_t n);

// The sum of data divided by float(n) (NaN for n = 0), and the sum of (data - that mean)^2.
float hcuda_fast_mean(const float* data, size_t n);
float hcuda_fast_submean_sumsqr(const float* data, size_t n);

// Masked forms: each element weighted by its mask value. The masked mean is
// sum(data mask) / sum(mask), NaN for an all-zero mask.
float hcuda_fast_sum_withmask(const float* data, const float* mask, size_t n);
float hcuda_fast_sumsqr_withmask(const float* data, const float* mask, size_t n);
float hcuda_mean_withmask(const float* data, const float* mask, size_t n);
// The sum of mask (data - m)^2 with m the masked mean.
float hcuda_fast_submean_sumsqr_withmask(const float* data, const float* mask, size_t n);
