// Bilinear interpolation of an image at a real point, shared by the resampling kernels.
#pragma once

#include <cstddef>

#include "core/hd.h"

// The value of the nx x ny image in (x fastest) at (u, v): 0 outside [0, nx - 1] x [0, ny - 1] (and
// at a NaN coordinate);
// otherwise the bilinear blend of the four pixels around the point, in single precision and in
// this order. On a whole coordinate the neighbour is the pixel itself, so a point on the last
// column or row never reads past the image.
QUIB_HD inline float bilinear_sample(const float* in, int nx, int ny, float u, float v) {
  if (!(u >= 0.0f && u <= nx - 1 && v >= 0.0f && v <= ny - 1)) return 0.0f;
  const int i = static_cast<int>(u), j = static_cast<int>(v);
  const float fu = u - i, fv = v - j;
  const int i1 = u != i ? i + 1 : i;
  const int j1 = v != j ? j + 1 : j;
  const float p00 = in[static_cast<size_t>(j) * nx + i], p10 = in[static_cast<size_t>(j) * nx + i1];
  const float p01 = in[static_cast<size_t>(j1) * nx + i], p11 = in[static_cast<size_t>(j1) * nx + i1];
  return ((p00 + fu * (p10 - p00)) + fv * (p01 - p00)) + fv * (fu * (((p00 + p11) - p10) - p01));
}
