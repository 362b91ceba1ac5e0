// Rearrangements of nx x ny float images on the device (row-major, nx wide): flips, transpose
// and mirror padding. The output must not overlap the input. The per-pixel functions write the
// output pixels that input pixel (x, y) of the nx x ny image determines.
#pragma once

#include <cstddef>

#include "core/hd.h"

QUIB_HD inline size_t flip_offset(int x, int y, int width) {
  return static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
}

QUIB_HD inline void cuda_2d_flipx(float* out, const float* in, int nx, int x, int y) {
  out[flip_offset(x, y, nx)] = in[flip_offset(nx - 1 - x, y, nx)];
}

QUIB_HD inline void cuda_2d_flipy(float* out, const float* in, int nx, int ny, int x, int y) {
  out[flip_offset(x, y, nx)] = in[flip_offset(x, ny - 1 - y, nx)];
}

QUIB_HD inline void cuda_2d_flipxy(float* out, const float* in, int nx, int ny, int x, int y) {
  out[flip_offset(y, x, ny)] = in[flip_offset(x, y, nx)];
}

QUIB_HD inline void cuda_2d_mirror_pad(float* out, const float* in, int nx, int ny, int x, int y) {
  const float v = in[flip_offset(x, y, nx)];
  const int w = 2 * nx, xm = w - 1 - x, ym = 2 * ny - 1 - y;
  out[flip_offset(x, y, w)] = v;
  out[flip_offset(x, ym, w)] = v;
  out[flip_offset(xm, y, w)] = v;
  out[flip_offset(xm, ym, w)] = v;
}

QUIB_HD inline void cuda_2d_mirror_pad_inv(float* out, const float* in, int nx, int x, int y) {
  out[flip_offset(x, y, nx)] = in[flip_offset(x, y, 2 * nx)];
}

// out(x, y) = in(nx - 1 - x, y)
void hcuda_2d_flipx(float* out, const float* in, int nx, int ny);
// out(x, y) = in(x, ny - 1 - y)
void hcuda_2d_flipy(float* out, const float* in, int nx, int ny);
// Transpose: out is ny wide and nx high, out[x ny + y] = in(x, y).
void hcuda_2d_flipxy(float* out, const float* in, int nx, int ny);
// out is 2nx x 2ny: in(x, y) goes to (x, y), (x, 2ny-1-y), (2nx-1-x, y) and (2nx-1-x, 2ny-1-y).
void hcuda_2d_mirror_pad(float* out, const float* in, int nx, int ny);
// The inverse: out (nx x ny) is the top-left quarter of the 2nx x 2ny image in.
void hcuda_2d_mirror_pad_inv(float* out, const float* in, int nx, int ny);
