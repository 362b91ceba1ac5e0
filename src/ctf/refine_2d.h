// The 2D CTF refinement: defocus U and V, the astigmatism angle and optionally the phase shift of
// one CTF model, fitted to a measured half spectrum by a derivative-free bracket search that
// moves one parameter at a time and cycles until every parameter has converged (100 cycles at
// most).
#pragma once

#include <cstdio>

#include "core/ctf_records.h"

// What one refinement fits against: the measured half spectrum (N/2 + 1 columns by ny rows, on
// the device, read only), a device scratch array of the same size, and the optics, envelope and
// band the model is sampled with.
struct RefineTarget {
  const float* measured;
  float* work;
  int N;
  int ny;
  CtfSampling fit;
};

// The initial steps: defocus (Angstrom) and angle (degrees), and the range of the phase shift
// (degrees) that the phase-shift parameter may walk from its start.
struct RefineSteps {
  float defocus;
  float angle;
  float phase_range;
};

// A fitted (or starting) model with its normalised score.
struct CtfFit {
  CtfModel model;
  float ccc;
};

// Refines from `start`. control is a copy: its switches say what is refined, logged and printed.
// Delivers U, V and the angle in [0, 90), the phase shift and the normalised cross-correlation;
// target.work then holds CTF^2 E of the result (band-limited). The generator is reseeded on entry
// (quib_reseed).
CtfFit hcuda_ctfrefine_half2d(const RefineTarget& target, const CtfModel& start, const RefineSteps& steps,
                              CTF_REF_CONTROL control, FILE* log);
