// Extreme values of host float arrays and their indices.
// All comparisons are strict: among equal values the first in index order wins. The searches
// start from data[0]; an empty array gives NaN values and index 0.
#pragma once

#include <cstddef>

float max_value(const float* data, size_t n);
float min_value(const float* data, size_t n);
size_t max_index(const float* data, size_t n);
size_t min_index(const float* data, size_t n);
void max_value_and_index(const float* data, size_t n, float& value, size_t& index);
void min_value_and_index(const float* data, size_t n, float& value, size_t& index);

// Each element is compared with the running maximum first, and with the minimum only when it is
// not greater.
void max_min_value_and_index(const float* data, size_t n, float& max, float& min, size_t& imax, size_t& imin);
void min_max_value_and_index(const float* data, size_t n, float& min, float& max, size_t& imin, size_t& imax);

// Extremes and the mean (sum in double / n, rounded to float); return 0.
int max_min_mean_value(const float* data, size_t n, float& max, float& min, float& mean);
int min_max_mean_value(const float* data, size_t n, float& min, float& max, float& mean);
