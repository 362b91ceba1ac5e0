// Layout conversions of spectra and correlation maps on the device.
//
// Full amplitude layout: the nx x ny image that a centred half spectrum (nx/2 + 1 columns) stands
// for, so that a window around any frequency also sees the Friedel mates. With h = nx/2:
// full(c, y) = half(c - (h - 1), y) for c >= h - 1, and for c < h - 1 the point mirror through the
// zero frequency, full(c, y) = half(h - 1 - c, (ny - y) mod ny). The zero frequency lies at column
// h - 1, row ny/2. For odd nx the last column holds kx = h + 1, which the half spectrum keeps as its
// mirror nx - kx; it is read there. nx must be at least 2.
#pragma once

#include "core/hd.h"

// Ends the program with a message unless nx >= 2 and ny >= 1.
void check_full_layout_size(int nx, int ny);

// Column and row of the half spectrum (width nx/2 + 1) that full-layout pixel (c, y) shows.
QUIB_HD inline void full_layout_source(int c, int y, int nx, int ny, int& hx, int& hy) {
  const int h = nx / 2;
  int kx = c - (h - 1);
  bool mirrored = kx < 0;
  if (mirrored) kx = -kx;
  if (kx > h) {  // only the last column of an odd nx
    kx = nx - kx;
    mirrored = !mirrored;
  }
  hx = kx;
  hy = mirrored ? (ny - y) % ny : y;
}

// out (nx x ny) = the full layout of the centred half spectrum in; and back: half(x, y) =
// full(x + nx/2 - 1, y) for x = 0 ... nx/2. Half -> full -> half returns the half spectrum unchanged.
void hcuda_2d_fft_amp_half2full(float* out, const float* in, int nx, int ny);
void hcuda_2d_fft_amp_full2half(float* out, const float* in, int nx, int ny);

// Quadrant swap of a real nx x ny map: (x, y) moves to ((x + nx/2) mod nx, (y + ny/2) mod ny).
void hcuda_2d_swap_ccf(const float* in, float* out, int nx, int ny);
// In place: each (x, y) with y < ny/2 is exchanged with ((x + nx/2) mod nx, y + ny/2), which is the
// swap above when nx and ny are even; the _norm form divides both values by k.
void hcuda_2d_swap_ccf_inplace(float* data, int nx, int ny);
void hcuda_2d_swap_norm_ccf_inplace(float* data, int nx, int ny, float k);
