#include "ctf/refine_search.h"

#include <cmath>
#include <utility>

#include "ctf/random_seed.h"
#include "ctf/refine_2d_report.h"

namespace {

constexpr int kMaxCycles = 100;

float score_a(Refinement& r) { return refine_score_at(r, r.s.a); }

// The score of base with parameter k moved to a given value.
ParameterScore score_moving(Refinement& r, RefineParameter k, const float* base) {
  return [&r, k, base](float value) {
    float point[kParameters];
    for (int i = 0; i < kParameters; ++i) point[i] = base[i];
    point[k] = value;
    return refine_score_at(r, point);
  };
}

// Moves parameter k once unless it is switched off or its bracket is within the tolerance, in
// which case it is marked converged. With rescore the best point is scored afresh first.
// Returns whether it moved.
bool step_parameter(Refinement& r, RefineParameter k, bool refine, float tolerance, double jitter_divisor, bool rescore,
                    int32_t& converged) {
  if (!refine || !(std::fabs(r.s.a[k] - r.s.b[k]) > tolerance)) {
    converged = 1;
    return false;
  }
  if (rescore) r.s.fa = score_a(r);
  const double jitter = quib_random_unit() * tolerance / jitter_divisor;
  bracket_move(r.s.a[k], r.s.b[k], r.s.fa, jitter, score_moving(r, k, r.s.a), r.stride);
  return true;
}

void log_step(Refinement& r, RefineStep step, float U, float V) {
  refine_log_step(r.control, r.log, step, CtfModel{U, V, r.s.a[kAngle], r.s.a[kPhase]}, r.s.fa);
}

void log_step(Refinement& r, RefineStep step) {
  refine_log_step(r.control, r.log, step, refine_model_at(r.s.a), r.s.fa);
}

// One cycle over the four parameters; returns whether all of them have converged.
bool refine_cycle(Refinement& r, float P0, float phase_range) {
  CTF_REF_CONTROL& c = r.control;
  const float U = r.s.a[kMean] - r.s.a[kAstigmatism];
  const float V = r.s.a[kMean] + r.s.a[kAstigmatism];
  if (step_parameter(r, kAngle, c.refine_angle, c.angle_tolerance, 20.0, true, c.angle_converged))
    log_step(r, RefineStep::Angle, U, V);
  if (step_parameter(r, kMean, c.refine_defocus, c.defocus_tolerance, 20.0, false, c.defocus_converged))
    log_step(r, RefineStep::MeanDefocus);
  if (step_parameter(r, kAstigmatism, c.refine_astigmatism, c.defocus_tolerance, 20.0, false, c.astigmatism_converged))
    log_step(r, RefineStep::Astigmatism);
  const bool phase_in_range = std::fabs(r.s.a[kPhase] - P0) < phase_range;
  if (step_parameter(r, kPhase, c.refine_phase_shift && phase_in_range, c.phase_tolerance, 3.0, false,
                     c.phase_converged))
    log_step(r, RefineStep::PhaseShift);
  return c.angle_converged && c.defocus_converged && c.astigmatism_converged && c.phase_converged;
}

}  // namespace

CtfModel refine_model_at(const float* point) {
  return CtfModel{point[kMean] - point[kAstigmatism], point[kMean] + point[kAstigmatism], point[kAngle], point[kPhase]};
}

float refine_score_at(Refinement& r, const float* point) { return refine_score(r.scorer, refine_model_at(point)); }

void refine_compare_start_points(Refinement& r, RefineParameter k, const float* base) {
  const ParameterScore score = score_moving(r, k, base);
  const float fa = score(r.s.a[k]);
  const float fb = score(r.s.b[k]);
  r.s.fa = fa;
  if (fa < fb) {
    std::swap(r.s.a[k], r.s.b[k]);
    r.s.fa = fb;
  }
}

bool refine_run_cycles(Refinement& r, float P0, float phase_range) {
  bool converged = false;
  for (int cycle = 0; cycle < kMaxCycles && !converged; ++cycle) {
    refine_log_cycle(r.control, r.log, cycle);
    converged = refine_cycle(r, P0, phase_range);
    if (converged) refine_log_last_cycle(r.control, r.log);
  }
  return converged;
}
