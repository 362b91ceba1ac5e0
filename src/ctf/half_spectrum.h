// Geometry of the centred half spectrum: nh = N/2 + 1 columns of non-negative x frequencies by ny
// rows, element (x, y) at y nh + x, zero frequency at column 0 of row ny/2; and of 1D profiles of
// n = N/2 + 1 samples.
#pragma once

#include <math.h>

#include "core/hd.h"

// Radius (pixels), spatial frequency (1/Angstrom) and direction (radians, single-precision atan2)
// of one half-spectrum element.
struct HalfSpectrumPixel {
  float r;
  float s;
  float theta;
};

QUIB_HD inline HalfSpectrumPixel half_spectrum_pixel(int x, int y, int nh, int ny, float apix) {
  const int dy = y - ny / 2;
  HalfSpectrumPixel p;
  p.r = sqrtf(static_cast<float>(x * x + dy * dy));
  p.s = p.r / (2 * (nh - 1) * apix);
  p.theta = atan2f(static_cast<float>(dy), static_cast<float>(x));
  return p;
}

// Spatial frequency of sample i of a 1D profile of n samples.
QUIB_HD inline float profile_frequency(int i, int n, float apix) { return i / (2 * (n - 1) * apix); }
