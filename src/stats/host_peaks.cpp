#include "stats/host_peaks.h"

#include <vector>

void peak_indices(const float* data, size_t n, size_t* indices, size_t count) {
  std::vector<int> mask(n, 1);
  for (size_t p = 0; p < count; ++p) {
    if (p >= n) {
      indices[p] = n;
      continue;
    }
    indices[p] = peak_index_masked(data, mask.data(), n);
    peak_make_mask(data, mask.data(), n, indices[p]);
  }
}

size_t peak_index_masked(const float* data, const int* mask, size_t n) {
  size_t best = 0;
  while (best < n && mask[best] == 0) ++best;
  for (size_t i = best + 1; i < n; ++i)
    if (mask[i] != 0 && data[i] > data[best]) best = i;
  return best;
}

void peak_make_mask(const float* data, int* mask, size_t n, size_t peak) {
  if (peak >= n) return;
  mask[peak] = 0;
  for (size_t j = peak + 1; j < n && data[j - 1] > data[j]; ++j) mask[j] = 0;
  for (size_t j = peak; j > 0 && data[j] > data[j - 1]; --j) mask[j - 1] = 0;
}
