// Dot products of many device rows with one device vector at once.
#pragma once

#include <cstddef>

// For each row i < m of the m x n row-major array `many`: out[i] = sum over k < n of
// many[i n + k] one[k], accumulated in increasing k, each step one single-precision fused
// multiply-add.
void hcuda_correlation_manydata_with_data(const float* many, const float* one, float* out, size_t n, size_t m);
