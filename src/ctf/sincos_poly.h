// sin and cos of one float written with arithmetic and integer selects only, so that loops over
// many arguments vectorise on the CPU (the C library's sinf and cosf do not, and neither would
// floating-point comparisons) and both backends round alike. Within 1e-7 of the true values for
// |x| up to a few thousand radians, beyond any CTF phase met in practice; far larger arguments
// give meaningless values (never a fault) and NaN stays NaN.
#pragma once

#include <string.h>

#include "core/hd.h"

QUIB_HD inline float float_from_bits(int bits) {
  float f;
  memcpy(&f, &bits, sizeof f);
  return f;
}

QUIB_HD inline int bits_from_float(float f) {
  int bits;
  memcpy(&bits, &f, sizeof bits);
  return bits;
}

QUIB_HD inline void sincos_poly(float x, float& sine, float& cosine) {
  // Quadrant count k = nearest integer to x / (pi/2), by the 1.5 * 2^23 rounding trick. |x / (pi/2)|
  // is first clamped to 2^22 on its bit pattern (NaN included), which keeps the trick exact and
  // the integer conversion defined.
  const int q_bits = bits_from_float(x * 0.636619772f);
  const int cap = 0x4a800000;  // 2^22
  const int magnitude = q_bits & 0x7fffffff;
  const float q = float_from_bits((q_bits & ~0x7fffffff) | (magnitude < cap ? magnitude : cap));
  const float kf = (q + 12582912.0f) - 12582912.0f;
  const int k = static_cast<int>(kf);
  // r = x - k pi/2 in three parts (Cody and Waite); the first two products are exact.
  const float r = ((x - kf * 1.5703125f) - kf * 4.837512969970703125e-4f) - kf * 7.549789948768648e-8f;
  const float r2 = r * r;
  const float s = r + r * r2 * (-1.6666654611e-1f + r2 * (8.3321608736e-3f + r2 * -1.9515295891e-4f));
  const float c = 1.0f - 0.5f * r2 + r2 * r2 * (4.166664568e-2f + r2 * (-1.388731625e-3f + r2 * 2.443315711e-5f));
  // Quadrant k: sin x = sin r, cos r, -sin r, -cos r; cos x = cos r, -sin r, -cos r, sin r.
  const bool odd = (k & 1) != 0;
  const float sin_base = odd ? c : s;
  const float cos_base = odd ? s : c;
  sine = (k & 2) ? -sin_base : sin_base;
  cosine = ((k + 1) & 2) ? -cos_base : cos_base;
}
