// Element-wise passes over device arrays, shared by the sources of the array library: one call of
// an operation per element. Includes backend/launch.h, so include it only from library sources.
#pragma once

#include <cstddef>

#include "backend/launch.h"

// The number of elements of an nx x ny x nz array; 0 when a side is not positive.
inline size_t pixel_count(int nx, int ny, int nz = 1) {
  if (nx <= 0 || ny <= 0 || nz <= 0) return 0;
  return static_cast<size_t>(nx) * static_cast<size_t>(ny) * static_cast<size_t>(nz);
}

// out[i] = op(in[i]) for every i < n; out may be in.
template <class Out, class In, class Op>
void map_elements(Out* out, const In* in, size_t n, Op op) {
  launch_1d(n, [=] QUIB_HD(size_t i) { out[i] = op(in[i]); });
}

// out[i] = op(p[i], q[i]) for every i < n; out may be p or q.
template <class Out, class P, class Q, class Op>
void zip_elements(Out* out, const P* p, const Q* q, size_t n, Op op) {
  launch_1d(n, [=] QUIB_HD(size_t i) { out[i] = op(p[i], q[i]); });
}
