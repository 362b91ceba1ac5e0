// The pieces the search and refine sequences are built from: the settings of one micrograph's
// sequence, one refinement pass with its optics, and the starting points (after a 1D search, or
// from the user's CTF values).
#pragma once

#include <cstdio>

#include "core/ctf_records.h"
#include "ctf/refine_2d.h"
#include "ctf/refine_start.h"
#include "ctf/search_1d.h"

// The optional second pass at high resolution: its envelope B-factor and band.
struct HighResolutionPass {
  int on;
  float bfactor;
  RESO band;
};

// The phase shift: searched over low + i step below high (degrees), choosing the best candidate
// by score (target 1) or by resolution limit (target 2), or refined from the user's values.
struct PhaseShiftSettings {
  int search;
  int refine_input;
  float low;
  float high;
  float step;
  int target;
};

// Everything the sequence of one micrograph needs. The 1D search's sampling is also that of the
// first refinement pass.
struct SearchRefineSettings {
  DefocusSearchSettings search_1d;
  HighResolutionPass high_resolution;
  PhaseShiftSettings phase;
  RefineStartSettings start;
  float listed_phase_shift;  // the micrograph's phase shift in the input list: where a search
                             // starts when its own values are missing
  CTF_REF_CONTROL control;
};

// One micrograph's spectra and settings. measured: device half spectrum (box/2 + 1 by box);
// work: device array of the same size; spectrum_copy: host copy of measured.
struct SearchContext {
  const float* measured;
  float* work;
  float* spectrum_copy;
  const SearchRefineSettings* settings;
  FILE* log;
};

// The band of a refinement pass: its envelope B-factor and resolution limits.
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

// One hcuda_ctfrefine_half2d call from `from` with a copy of the settings' control record.
CtfFit refine_pass(const SearchContext& context, const CtfModel& from, const RefineSteps& steps, const RefineBand& band,
                   const RefineSwitches& switches);

// The band of a single pass: the 1D search's envelope and band; of a first pass: the same with the
// high limit resH; and of a high-resolution second pass.
RefineBand full_band(const SearchRefineSettings& settings);
RefineBand first_pass_band(const SearchRefineSettings& settings, float resH);
RefineBand second_pass_band(const SearchRefineSettings& settings);

// The steps of a high-resolution second pass after a first pass that gave `first`: a third of
// U - V for the defocus, 3 degrees, no phase range.
RefineSteps second_pass_steps(const CtfModel& first);

// The 1D search at phase shift P on the spectrum copy, then the starting point (the user's values
// when they are refined, else around the 1D defocus) with phase P.
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
