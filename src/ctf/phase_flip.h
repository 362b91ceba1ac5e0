// Phase flipping: the sign of every Fourier component of an image where the CTF is not positive
// is reversed, so that all frequencies carry contrast of one sign.
#pragma once

#include <math.h>

#include "backend/float2.h"
#include "core/ctf_records.h"
#include "core/hd.h"
#include "ctf/sincos_poly.h"

// The CTF of one model without envelope or band, arranged for a sign test at every element:
// Z = mean + half_difference cos(2 (theta - A)) needs no angle of its own, and
// sqrt(1 - w^2) sin chi + w cos chi = sin(chi + atan2(w, sqrt(1 - w^2))).
struct FlipCtf {
  float mean_defocus, half_difference;  // (U + V) / 2, (U - V) / 2
  float cos_2a, sin_2a;                 // of twice the astigmatism angle
  float defocus_term, cs_term;          // gamma = defocus_term Z s^2 - cs_term s^4
  float phase_offset;                   // phase shift plus the amplitude contrast's angle
};

FlipCtf flip_ctf(const Optics& optics, const CtfModel& model);

// Whether the CTF is positive at element (x, y) of the half-complex transform of an nx x ny image
// (FFT order, fft_plan.h). Each axis has its own frequency step, kx / (nx apix) and ky / (ny apix),
// so non-square and odd sizes are sampled correctly. Conjugate elements of a real image's
// transform always get the same answer, so a flip keeps the image real and flipping twice gives
// it back.
QUIB_HD inline bool ctf_positive_at_fft_element(int x, int y, int nx, int ny, float apix, const FlipCtf& c) {
  int ky = y < (ny + 1) / 2 ? y : y - ny;
  // The last column of an even width is kx = nx/2 and -nx/2 at once: its elements at ky and -ky are
  // conjugates of each other, so they must share one sign (an astigmatic CTF differs between them).
  if (2 * x == nx && ky < 0) ky = -ky;
  const float sx = static_cast<float>(x) / (nx * apix);
  const float sy = static_cast<float>(ky) / (ny * apix);
  const float s2 = sx * sx + sy * sy;
  const float cos_2theta_a = s2 > 0.0f ? ((sx * sx - sy * sy) * c.cos_2a + 2.0f * sx * sy * c.sin_2a) / s2 : 0.0f;
  const float Z = c.mean_defocus + c.half_difference * cos_2theta_a;
  const float chi = c.defocus_term * Z * s2 - c.cs_term * s2 * s2 + c.phase_offset;
  float sine, cosine;
  sincos_poly(chi, sine, cosine);
  return sine > 0.0f;
}

// Multiplies element (x, y) of the half transform by `scale`, negated where the CTF is <= 0.
QUIB_HD inline void phase_flip_element(float2* half, int x, int y, int nx, int ny, float apix, const FlipCtf& c,
                                       float scale) {
  const float sign = ctf_positive_at_fft_element(x, y, nx, ny, apix, c) ? scale : -scale;
  float2& value = half[static_cast<size_t>(y) * (nx / 2 + 1) + x];
  value.x *= sign;
  value.y *= sign;
}

// Replaces the device image (nx x ny floats, row after row) by its phase-flipped copy. The
// optics' apix is the image's pixel size. 0, or -1 after a device failure.
int phase_flip_image(float* image, int nx, int ny, const Optics& optics, const CtfModel& model);
