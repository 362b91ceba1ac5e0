#include "core/ctf_model.h"

#include <utility>

#include "core/ctf_formula.h"

Optics make_optics(float kV, float Cs, float ac, float apix) { return Optics{kV, Cs, ac, apix, kV_to_lambda(kV)}; }

CtfModel ctf_model_of(const CTF_INFO& info) {
  return CtfModel{info.defocus_u, info.defocus_v, info.angle, info.phase_shift};
}

CTF_INFO ctf2d_default() {
  CTF_INFO info{};
  info.kV = 300.0f;
  info.Cs = 2.7f;
  info.ac = 0.1f;
  info.bfactor = 150.0f;
  return info;
}

CTF_INIT ctf2d_to_ctfinit(const CTF_INFO& info) {
  CTF_INIT init;
  init.has_init = (info.defocus_u != 0.0f && info.defocus_v != 0.0f) ? 1 : 0;
  init.kV = info.kV;
  init.Cs = info.Cs;
  init.ac = info.ac;
  init.phase_shift = info.phase_shift;
  init.defocus_u = info.defocus_u;
  init.defocus_v = info.defocus_v;
  init.angle = info.angle;
  init.bfactor = info.bfactor;
  return init;
}

void ctf_ref_control_init(CTF_REF_CONTROL& control) {
  control.angle_tolerance = 0.5f;
  control.defocus_tolerance = 2.0f;
  control.phase_tolerance = 0.5f;
  control.angle_scan = 0;
  control.angle_scan_count = 2;
  control.refine_defocus = 1;
  control.refine_astigmatism = 1;
  control.refine_angle = 1;
  control.refine_phase_shift = 0;
  control.high_resolution_pass = 0;
  control.defocus_converged = 0;
  control.astigmatism_converged = 0;
  control.angle_converged = 0;
  control.phase_converged = 0;
  control.print_to_screen = 1;
  control.write_to_log = 1;
}

void quib_format_UVA(float& U, float& V, float& A) {
  A = hd_mod_angle_m90_p90(A);
  if (A < 0.0f) {
    A += 90.0f;
    if (A < 90.0f) {
      std::swap(U, V);
    } else {
      // An angle just below 0 rounds to 90 when shifted; the model is then (U, V, 0) itself.
      A = 0.0f;
    }
  }
}
