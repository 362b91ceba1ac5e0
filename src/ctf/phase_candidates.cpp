#include "ctf/phase_candidates.h"

#include <cmath>

#include "core/report.h"

namespace {

// Far more refinements than any sensible search makes; a step small enough to ask for more is a
// mistake.
constexpr double kMaxCandidates = 100000;

void note_score(PhaseCandidateChoice& choice, const CtfFit& fit) {
  if (choice.count == 0 || fit.ccc > choice.top_scoring.ccc) choice.top_scoring = fit;
  ++choice.count;
}

}  // namespace

void PhaseCandidateChoice::consider_score(const CtfFit& fit) {
  note_score(*this, fit);
  if (fit.ccc > best_score) {
    best_score = fit.ccc;
    best = fit;
    has_best = true;
  }
}

void PhaseCandidateChoice::consider_resolution(const CtfFit& fit, float resolution) {
  note_score(*this, fit);
  if (resolution < best_resolution) {
    best_resolution = resolution;
    best = fit;
    has_best = true;
  }
}

int phase_shift_candidate_count(float L, float H, float S) {
  if (!(S > 0.0f) || !(H > L)) return 0;
  const double exact = std::ceil((static_cast<double>(H) - L) / S);
  if (exact > kMaxCandidates) QUIB_FATAL("ctf", "Too many phase-shift candidates: --phase_shift_S is too small");
  // The exact count, corrected for the rounding of L + i S in single precision.
  int count = static_cast<int>(exact);
  while (count > 0 && !(L + (count - 1) * S < H)) --count;
  while (L + count * S < H) ++count;
  return count;
}
