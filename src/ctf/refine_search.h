// The cycles of the 2D refinements' bracket search: mean defocus, astigmatism, angle and phase
// shift each moved in turn by the bracket rule until all have converged (100 cycles at most). The
// refinements differ only in where the search starts and what they make of its end.
#pragma once

#include <cstdio>

#include "core/ctf_records.h"
#include "ctf/refine_bracket.h"
#include "ctf/refine_score.h"

// The searched parameters: mean defocus m = (U + V)/2, half-difference h = (V - U)/2, the angle A
// and the phase shift P (a trial model has U = m - h, V = m + h).
enum RefineParameter { kMean, kAstigmatism, kAngle, kPhase, kParameters };

// Each parameter's best point a and second point b, and the score fa of the model at the a points.
struct RefineSearch {
  float a[kParameters];
  float b[kParameters];
  float fa;
};

// One search: control's switches say which parameters move, its tolerances when they have
// converged (its converged flags are set as they do) and what is logged.
struct Refinement {
  const RefineScorer& scorer;
  CTF_REF_CONTROL& control;
  FILE* log;
  BracketStride stride;
  RefineSearch s;
};

CtfModel refine_model_at(const float* point);

// The score of the model at a point of the search space.
float refine_score_at(Refinement& r, const float* point);

// Keeps the better of the two start points of parameter k as a (b only when strictly better),
// both scored with the other parameters taken from base; fa becomes the better score.
void refine_compare_start_points(Refinement& r, RefineParameter k, const float* base);

// Cycles until every parameter has converged or 100 cycles have run; returns whether all
// converged. The phase shift also stops once it has walked phase_range away from P0.
bool refine_run_cycles(Refinement& r, float P0, float phase_range);
