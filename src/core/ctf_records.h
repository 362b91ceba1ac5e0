// The records of the optics, of one CTF model and how it is sampled, of a micrograph's starting CTF
// and of a 2D refinement's controls.
// Units: kV; Cs in mm; amplitude contrast as a fraction; defocus in Angstrom (positive =
// underfocus); angles and phase shifts in degrees; B-factors in square Angstrom.
#pragma once

#include <cstdint>

// A resolution band in Angstrom, low limit first.
struct RESO {
  float low;
  float high;
};

// The optics of a run: acceleration voltage (kV), spherical aberration Cs (mm), amplitude
// contrast ac (a fraction), pixel size apix (Angstrom) and the electron wavelength lambda
// (Angstrom) that the voltage gives. make_optics (core/ctf_model.h) derives lambda.
struct Optics {
  float kV;
  float Cs;
  float ac;
  float apix;
  float lambda;
};

// One CTF model: defocus U and V (Angstrom, positive = underfocus), the astigmatism angle and the
// phase shift (degrees).
struct CtfModel {
  float defocus_u;
  float defocus_v;
  float angle;
  float phase_shift;
};

// How a CTF model is sampled on a spectrum: the optics, the envelope exp(-B s^2 / 4) with the
// B-factor `bfactor` (square Angstrom), and the band 1/band.low <= s <= 1/band.high outside which
// the samples are 0.
struct CtfSampling {
  Optics optics;
  float bfactor;
  RESO band;
};

struct CTF_INFO {
  float kV;
  float Cs;
  float ac;
  float phase_shift;
  float defocus_u;
  float defocus_v;
  float angle;
  float bfactor;
  float ccc;              // score of this model against the measured spectrum
  float phase_shift_err;  // half-width of the phase-shift search, degrees
  float bfactor_err;      // half-width for the B-factor
  float defocus_err;      // initial defocus step of the 2D refinement
  float angle_err;        // initial angle step of the 2D refinement
  float resolution;       // resolution limit estimated for this model, Angstrom

  void set_PUVAC(float P, float U, float V, float A, float C) {
    phase_shift = P;
    defocus_u = U;
    defocus_v = V;
    angle = A;
    ccc = C;
  }
  void get_PUVAC(float& P, float& U, float& V, float& A, float& C) const {
    P = phase_shift;
    U = defocus_u;
    V = defocus_v;
    A = angle;
    C = ccc;
  }
  void set_PUVAB(float P, float U, float V, float A, float B) {
    phase_shift = P;
    set_UVAB(U, V, A, B);
  }
  void set_UVAB(float U, float V, float A, float B) {
    defocus_u = U;
    defocus_v = V;
    angle = A;
    bfactor = B;
  }
  void set_err(float Perr, float Derr, float Aerr, float Berr) {
    phase_shift_err = Perr;
    defocus_err = Derr;
    angle_err = Aerr;
    bfactor_err = Berr;
  }
};

// The starting CTF of one micrograph; has_init is 1 when the record holds values.
struct CTF_INIT {
  int32_t has_init;
  float kV;
  float Cs;
  float ac;
  float phase_shift;
  float defocus_u;
  float defocus_v;
  float angle;
  float bfactor;
};

struct DEFOCUS {
  float u;
  float v;
  float angle;
};

// Control of one 2D refinement; copied by value into each refinement.
struct CTF_REF_CONTROL {
  float angle_tolerance;
  float defocus_tolerance;
  float phase_tolerance;
  int32_t angle_scan;
  int32_t angle_scan_count;
  int32_t refine_defocus;
  int32_t refine_astigmatism;
  int32_t refine_angle;
  int32_t refine_phase_shift;
  int32_t high_resolution_pass;
  int32_t defocus_converged;
  int32_t astigmatism_converged;
  int32_t angle_converged;
  int32_t phase_converged;
  int32_t print_to_screen;
  int32_t write_to_log;

  // Sets refine phase shift, high-resolution pass, print to screen and write to log.
  void set_PHSL(int P, int H, int S, int L) {
    refine_phase_shift = P;
    high_resolution_pass = H;
    print_to_screen = S;
    write_to_log = L;
  }
};
