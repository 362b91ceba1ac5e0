// The pieces the search and refine sequences are built from: one refinement pass with the run's
// optics, and the starting points (after a 1D search, or from the user's CTF values).
#pragma once

#include <cstdio>

struct QUIB_Para;

// One micrograph's spectra and run record. measured: device half spectrum (boxsize/2 + 1 by
// boxsize); work: device array of the same size; spectrum_copy: host copy of measured.
struct SearchContext {
  const float* measured;
  float* work;
  float* spectrum_copy;
  const QUIB_Para* para;
  FILE* log;
  int index;
};

// A fitted (or starting) model: phase shift and angle in degrees, defocus in Angstrom, and the
// normalised score.
struct CtfFit {
  float P;
  float U;
  float V;
  float A;
  float ccc;
};

// A starting model with its refinement steps (quib_set_init_defUVA_for_2D_refine).
struct RefineStart {
  CtfFit model;
  float B;
  float phase_step;
  float defocus_step;
  float angle_step;
  float B_step;
};

struct RefineSteps {
  float defocus;
  float angle;
  float phase_range;
};

struct RefineBand {
  float bfac;
  float resL;
  float resH;
};

// The four switches of CTF_REF_CONTROL::set_PHSL: refine the phase shift, high-resolution pass,
// print to the screen, write to the log.
struct RefineSwitches {
  int phase;
  int high_resolution;
  int screen;
  int log;
};

// One hcuda_ctfrefine_half2d call from `from` with a copy of the run's control record.
CtfFit refine_pass(const SearchContext& context, const CtfFit& from, const RefineSteps& steps, const RefineBand& band,
                   const RefineSwitches& switches);

// The steps of a high-resolution second pass after a first pass that gave `first`: a third of
// U - V for the defocus, 3 degrees, no phase range.
RefineSteps second_pass_steps(const CtfFit& first);
// The high-resolution band of the run.
RefineBand second_pass_band(const QUIB_Para* para);

// The 1D search at phase shift P on the spectrum copy, then the starting point for micrograph
// `index` (the user's values when they are refined, else around the 1D defocus) with phase P.
RefineStart start_after_1d_search(const SearchContext& context, float P);
// The starting point from the user's CTF values; those must exist (refines_input_ctf).
RefineStart start_from_input(const SearchContext& context);

// The first-pass resolution limit of a run with a high-resolution pass: 2 resH but at most 10
// Angstrom for the ab-initio sequence; for the other sequences 2 resH when that is at most 10,
// else the larger of 10 and 2 apix.
float first_pass_resolution_ab_initio(float resH);
float first_pass_resolution(float resH, float apix);

// The sequences: ab initio (1D search, then refinement), the user's CTF with its phase shift
// refined, and the phase-shift search. Each returns the final model.
CtfFit sequence_ab_initio(const SearchContext& context);
CtfFit sequence_input_phase(const SearchContext& context);
CtfFit sequence_phase_search(const SearchContext& context);
