// exp(-t) written with arithmetic only, so that loops computing Gaussian weights vectorise on the
// CPU (the C library's expf does not); within two units in the last place of expf.
#pragma once

#include <string.h>

#include "core/hd.h"

// exp(-t) for t >= 0 (2^-m times a degree-7 polynomial on [-ln2/2, ln2/2]). t above 87, and NaN,
// are taken as 87, so the result is always a normal float.
QUIB_HD inline float exp_neg(float t) {
  // For t >= 0 the order of the bit patterns is that of the values: an integer minimum clamps
  // without a floating-point comparison, which would keep the loop from vectorising.
  int bits;
  memcpy(&bits, &t, sizeof bits);
  const int cap = 0x42ae0000;  // 87.0f
  bits = bits < cap ? bits : cap;
  memcpy(&t, &bits, sizeof t);
  const int m = static_cast<int>(t * 1.44269504f + 0.5f);  // nearest integer to t / ln 2
  const float f = (m * 0.693359375f - t) - m * 2.12194440e-4f;
  // The polynomial by Estrin's scheme: a short dependency chain keeps vectorised loops busy.
  const float f2 = f * f, f4 = f2 * f2;
  const float p = (5.0000001201e-1f + 1.6666665459e-1f * f) + f2 * (4.1665795894e-2f + 8.3334519073e-3f * f) +
                  f4 * (1.3981999507e-3f + 1.9875691500e-4f * f);
  const float y = p * f2 + f + 1.0f;
  const int scale_bits = (127 - m) << 23;
  float scale;
  memcpy(&scale, &scale_bits, sizeof scale);
  return y * scale;
}
