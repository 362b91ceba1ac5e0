// The starting point and the initial steps of a micrograph's 2D refinement: the user's CTF values
// when they are to be refined, else a guess around the 1D search's defocus.
#pragma once

#include "core/ctf_records.h"

// Which of the user's CTF values a micrograph starts from.
enum class InputCtf {
  None,         // none: the start lies around the 1D search's defocus
  CommandLine,  // the --ps_init, --defU_init, --defV_init, --defA_init and --B_init values
  StarFile,     // the micrograph's row of the input CTF STAR file
};

// Where one micrograph's refinement starts from.
struct RefineStartSettings {
  InputCtf input;
  CTF_INIT values;     // the user's values: phase shift, U, V, angle, B-factor
  float phase_step;    // the phase-shift step of a start from the user's values
  float defocus_step;  // the defocus step of a start from the user's values
  float angle_step;    // the angle step of a start from the user's values
  float bfactor;       // the B-factor of a start from the 1D search
  float bfactor_step;
  float astigmatism;  // U and V of a start from the 1D search lie this far apart
  float grid_step;    // the defocus step of a start from the 1D search: the search's grid step
};

// A starting model with its refinement steps.
struct RefineStart {
  CtfModel model;
  float bfactor;
  float phase_step;
  float defocus_step;
  float angle_step;
  float bfactor_step;
};

// Fills start from the user's values when there are some (the STAR file's are printed), else
// around the 1D defocus D: U = D - astigmatism/2, V = D + astigmatism/2, a random angle in
// [0, 30) (after quib_reseed), the settings' B-factor, steps grid_step and 30 degrees; the phase
// shift and its step are then left as they are. Returns 1 for values from the command line, 2
// for values from the STAR file, 3 for a start around D.
int quib_set_init_defUVA_for_2D_refine(RefineStart& start, const RefineStartSettings& settings, float D);

// Whether the micrograph starts from the user's values.
bool refines_input_ctf(const RefineStartSettings& settings);
