// Where a flat index of a half-complex array of n values lies once the array is centred (its
// zero frequency moved to the middle), and back.
#pragma once

#include <cstddef>

#include "core/hd.h"

// j = (i + n/2) mod n, n/2 rounded down.
QUIB_HD inline size_t centred_index(size_t i, size_t n) {
  const size_t j = i + n / 2;
  return j < n ? j : j - n;
}
QUIB_HD inline size_t uncentred_index(size_t j, size_t n) {
  const size_t half = n / 2;
  return j >= half ? j - half : j + (n - half);
}
