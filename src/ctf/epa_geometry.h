// Sampling helpers of the rotational average image: the directions of a ring walk, the test that a
// point lies on the half spectrum, and bilinear interpolation there.
#pragma once

#include <math.h>
#include <stdint.h>
#include <string.h>

#include "core/ctf_formula.h"
#include "core/hd.h"

// Number of directions theta = -pi/2 + j step (j = 0, 1, ...) with theta < pi/2, compared in double.
QUIB_HD inline int ring_direction_count(double step) {
  if (!(step > 0.0)) return 0;
  int count = static_cast<int>(ceil(kPi / step));
  while (count > 0 && -kPi / 2 + (count - 1) * step >= kPi / 2) --count;
  while (-kPi / 2 + count * step < kPi / 2) ++count;
  return count;
}

// Whether (x, y) lies on the nh x ny half spectrum, edges included.
QUIB_HD inline bool on_half_spectrum(float x, float y, int nh, int ny) {
  return x >= 0.0f && x <= nh - 1 && y >= 0.0f && y <= ny - 1;
}

QUIB_HD inline int clamp_index(int i, int lo, int hi) { return i < lo ? lo : (i > hi ? hi : i); }

// Bilinear interpolation reads a half spectrum as horizontal neighbour pairs: element (x, y)
// holds the value at (x, y) in its low 32 bits and the value at (x + 1, y) in its high 32 bits;
// on the last column, where there is no right neighbour, the value at (x, y) twice. One 64-bit
// read then serves a row of the 2 x 2 cell (half the gathers of a vectorised CPU loop).
QUIB_HD inline uint64_t pack_pair(float left, float right) {
  uint32_t l, r;
  memcpy(&l, &left, sizeof l);
  memcpy(&r, &right, sizeof r);
  return static_cast<uint64_t>(r) << 32 | l;
}

QUIB_HD inline float pair_left(uint64_t pair) {
  const uint32_t bits = static_cast<uint32_t>(pair);
  float v;
  memcpy(&v, &bits, sizeof v);
  return v;
}

QUIB_HD inline float pair_right(uint64_t pair) {
  const uint32_t bits = static_cast<uint32_t>(pair >> 32);
  float v;
  memcpy(&v, &bits, sizeof v);
  return v;
}

// out (device, nh x ny pairs) from the half spectrum in (device, nh x ny floats).
void hcuda_2d_half_pack_pairs(uint64_t* out, const float* in, int nh, int ny);

// Bilinear value at a point on the spectrum (from its pairs). The +1 neighbour of a coordinate
// counts only when that coordinate is fractional, so points on the last column or row stay
// inside. A point off the spectrum (finite coordinates) is extrapolated from the nearest edge
// cell: a finite value, read in bounds, which callers give no weight. Written without floating-point selects so that
// loops over it vectorise.
QUIB_HD inline float bilinear_half(const uint64_t* pairs, float x, float y, int nh, int ny) {
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  const float fx = x - ix, fy = y - iy;
  const int cx = clamp_index(ix, 0, nh - 1), cy = clamp_index(iy, 0, ny - 1);
  const int i0 = cy * nh + cx;
  const int i1 = i0 + (cy < ny - 1 ? nh : 0);
  const uint64_t row0 = pairs[i0], row1 = pairs[i1];
  return (1.0f - fy) * ((1.0f - fx) * pair_left(row0) + fx * pair_right(row0)) +
         fy * ((1.0f - fx) * pair_left(row1) + fx * pair_right(row1));
}
