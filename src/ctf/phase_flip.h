// Phase flipping: the sign of every Fourier component of an image where the CTF is not positive
// is reversed, so that all frequencies carry contrast of one sign.
#pragma once

#include "backend/float2.h"
#include "core/ctf_formula.h"
#include "core/ctf_records.h"
#include "core/hd.h"

// The CTF of the model, without envelope or band, at element (x, y) of the half-complex
// transform of an nx x ny image (FFT order, fft_plan.h). Each axis has its own frequency step,
// kx / (nx apix) and ky / (ny apix), so non-square and odd sizes are sampled correctly.
// Conjugate elements of the real image's transform always get the same CTF, so a flip keeps the
// image real and flipping twice gives it back.
QUIB_HD inline float ctf_at_fft_element(int x, int y, int nx, int ny, const Optics& o, const CtfModel& m) {
  int ky = y < (ny + 1) / 2 ? y : y - ny;
  // The last column of an even width is kx = nx/2 and -nx/2 at once: its elements at ky and -ky are
  // conjugates of each other, so they must share one sign (an astigmatic CTF differs between them).
  if (2 * x == nx && ky < 0) ky = -ky;
  const float sx = static_cast<float>(x) / (nx * o.apix);
  const float sy = static_cast<float>(ky) / (ny * o.apix);
  const float s = sqrtf(sx * sx + sy * sy);
  const float Z = effective_defocus(m.defocus_u, m.defocus_v, m.angle, atan2f(sy, sx));
  return ctf_value(ctf_chi(o.lambda, Z, o.Cs, m.phase_shift, s), o.ac);
}

// Multiplies element (x, y) of the half transform by `scale`, negated where the CTF is <= 0.
QUIB_HD inline void phase_flip_element(float2* half, int x, int y, int nx, int ny, const Optics& o, const CtfModel& m,
                                       float scale) {
  const float sign = ctf_at_fft_element(x, y, nx, ny, o, m) > 0.0f ? scale : -scale;
  float2& c = half[static_cast<size_t>(y) * (nx / 2 + 1) + x];
  c.x *= sign;
  c.y *= sign;
}

// Replaces the device image (nx x ny floats, row after row) by its phase-flipped copy. The
// optics' apix is the image's pixel size. 0, or -1 after a device failure.
int phase_flip_image(float* image, int nx, int ny, const Optics& optics, const CtfModel& model);
