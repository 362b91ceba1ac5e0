#include "stats/host_extremes.h"

#include <cmath>

#include "stats/host_moments.h"

float max_value(const float* data, size_t n) {
  float value;
  size_t index;
  max_value_and_index(data, n, value, index);
  return value;
}

float min_value(const float* data, size_t n) {
  float value;
  size_t index;
  min_value_and_index(data, n, value, index);
  return value;
}

size_t max_index(const float* data, size_t n) {
  float value;
  size_t index;
  max_value_and_index(data, n, value, index);
  return index;
}

size_t min_index(const float* data, size_t n) {
  float value;
  size_t index;
  min_value_and_index(data, n, value, index);
  return index;
}

void max_value_and_index(const float* data, size_t n, float& value, size_t& index) {
  index = 0;
  value = n > 0 ? data[0] : NAN;
  for (size_t i = 1; i < n; ++i)
    if (data[i] > value) {
      value = data[i];
      index = i;
    }
}

void min_value_and_index(const float* data, size_t n, float& value, size_t& index) {
  index = 0;
  value = n > 0 ? data[0] : NAN;
  for (size_t i = 1; i < n; ++i)
    if (data[i] < value) {
      value = data[i];
      index = i;
    }
}

void max_min_value_and_index(const float* data, size_t n, float& max, float& min, size_t& imax, size_t& imin) {
  imax = imin = 0;
  max = min = n > 0 ? data[0] : NAN;
  for (size_t i = 1; i < n; ++i) {
    if (data[i] > max) {
      max = data[i];
      imax = i;
    } else if (data[i] < min) {
      min = data[i];
      imin = i;
    }
  }
}

void min_max_value_and_index(const float* data, size_t n, float& min, float& max, size_t& imin, size_t& imax) {
  max_min_value_and_index(data, n, max, min, imax, imin);
}

int max_min_mean_value(const float* data, size_t n, float& max, float& min, float& mean) {
  size_t imax, imin;
  max_min_value_and_index(data, n, max, min, imax, imin);
  mean = hm_meanf(data, n);
  return 0;
}

int min_max_mean_value(const float* data, size_t n, float& min, float& max, float& mean) {
  return max_min_mean_value(data, n, max, min, mean);
}
