// The candidates of the phase-shift search and the choice of the best one.
#pragma once

#include "ctf/refine_2d.h"

// The candidates of the phase-shift search: L + i S (i = 0, 1, ...) below H; 0 when H <= L or the
// step is not positive.
int phase_shift_candidate_count(float L, float H, float S);

// Candidates are judged by their resolution limit only where it is finer than this (Angstrom).
constexpr float kPhaseSearchResolutionThreshold = 20.0f;

// The choice of the phase-shift search's best candidate: the first with the highest score above
// -1 (target 1), or the first with the finest resolution limit below the threshold (target 2).
// Where no candidate qualifies, the first of the best-scoring ones is chosen instead.
struct PhaseCandidateChoice {
  int count = 0;
  bool has_best = false;
  CtfFit best{};
  float best_score = -1.0f;
  float best_resolution = kPhaseSearchResolutionThreshold;
  CtfFit top_scoring{};

  void consider_score(const CtfFit& fit);
  void consider_resolution(const CtfFit& fit, float resolution);
  // Valid once a candidate has been considered.
  const CtfFit& chosen() const { return has_best ? best : top_scoring; }
};
