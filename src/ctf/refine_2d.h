// The 2D CTF refinement: defocus U and V, the astigmatism angle and optionally the phase shift of
// one CTF model, fitted to a measured half spectrum by a derivative-free bracket search that
// moves one parameter at a time and cycles until every parameter has converged (100 cycles at
// most).
#pragma once

#include <cstdio>

#include "core/ctf_records.h"

// measured: device half spectrum (N/2 + 1 columns by ny rows, read only); work: device array of
// the same size. Starts from U0, V0 (Angstrom), A0 and P0 (degrees) with the initial defocus and
// angle steps and the phase-shift range; fits with envelope B (square Angstrom) in the band
// [resL, resH] (Angstrom). control is a copy: its switches say what is refined, logged and printed.
// Delivers U, V, A in [0, 90), P and the normalised cross-correlation CCC; work then holds
// CTF^2 E of the result (band-limited). The generator is reseeded on entry (quib_reseed). Returns 0.
int hcuda_ctfrefine_half2d(const float* measured, float* work, float& U, float& V, float& A, float& P, float& CCC,
                           float apix, int N, int ny, float kV, float Cs, float ac, float U0, float V0, float A0,
                           float P0, float defocus_step, float angle_step, float phase_range, float B, float resL,
                           float resH, CTF_REF_CONTROL control, FILE* log);
