// The optics record, the default CTF model, conversions between the CTF records, the refinement
// controls' defaults, and the angle conventions of reported models.
#pragma once

#include <math.h>

#include "core/ctf_records.h"
#include "core/hd.h"

// The optics with the wavelength of the voltage (kV_to_lambda).
Optics make_optics(float kV, float Cs, float ac, float apix);
// The defocus, angle and phase shift of a record.
CtfModel ctf_model_of(const CTF_INFO& info);

// kV 300, Cs 2.7 mm, ac 0.1, no phase shift, U = V = angle = 0, B-factor 150; every other field 0.
CTF_INFO ctf2d_default();
// The eight model values of info; has_init is 1 exactly when both defocus values are non-zero.
CTF_INIT ctf2d_to_ctfinit(const CTF_INFO& info);
// Tolerances 0.5 degree, 2 Angstrom and 0.5 degree; no angle scan (2 steps were it switched on);
// refine defocus, astigmatism and angle but not the phase shift; nothing converged; print to
// screen and write to the log.
void ctf_ref_control_init(CTF_REF_CONTROL& control);

// x brought into [lo, hi) by whole periods of hi - lo (the bounds exchanged when lo > hi); x itself
// when lo equals hi.
QUIB_HD inline float hd_periodic_equivalent(float x, float lo, float hi) {
  if (lo == hi) return x;
  if (lo > hi) {
    const float t = lo;
    lo = hi;
    hi = t;
  }
  const float period = hi - lo;
  const float result = x - floorf((x - lo) / period) * period;
  // A value just below lo can round up to hi itself; that is the start of the period.
  return result >= hi ? lo : result;
}

// An angle in degrees reduced into [-90, 90).
QUIB_HD inline float hd_mod_angle_m90_p90(float a) { return hd_periodic_equivalent(a, -90.0f, 90.0f); }

// Brings a model into the reported angle convention: A reduced into [-90, 90); a negative angle
// has 90 added and U and V exchanged, so A ends in [0, 90).
void quib_format_UVA(float& U, float& V, float& A);
