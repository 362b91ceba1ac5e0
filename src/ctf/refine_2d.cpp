#include "ctf/refine_2d.h"

#include <cmath>
#include <utility>

#include "core/ctf_model.h"
#include "ctf/band_ctf.h"
#include "ctf/random_seed.h"
#include "ctf/refine_2d_report.h"
#include "ctf/refine_bracket.h"
#include "ctf/refine_normalise.h"
#include "ctf/refine_score.h"

namespace {

constexpr int kMaxCycles = 100;

// The searched parameters: mean defocus m = (U + V)/2, half-difference h = (V - U)/2, the angle A
// and the phase shift P (a trial model has U = m - h, V = m + h).
enum Parameter { kMean, kAstigmatism, kAngle, kPhase, kParameters };

// Each parameter's best point a and second point b, and the score fa of the model at the a points.
struct Search {
  float a[kParameters];
  float b[kParameters];
  float fa;
};

struct Refinement {
  const RefineScorer& scorer;
  float* work;
  CTF_REF_CONTROL& control;
  FILE* log;
  Search s;
};

CtfModel model_at(const float* point) {
  return CtfModel{point[kMean] - point[kAstigmatism], point[kMean] + point[kAstigmatism], point[kAngle], point[kPhase]};
}

float score_model(Refinement& r, const float* point) { return refine_score(r.work, r.scorer, model_at(point)); }

float score_a(Refinement& r) { return score_model(r, r.s.a); }

// The score of the a point with parameter k moved to a given value.
ParameterScore score_moving(Refinement& r, Parameter k) {
  return [&r, k](float value) {
    float point[kParameters];
    for (int i = 0; i < kParameters; ++i) point[i] = r.s.a[i];
    point[k] = value;
    return score_model(r, point);
  };
}

// Keeps the better of the two starting points of parameter k as a (b only when strictly better).
void compare_start_points(Refinement& r, Parameter k) {
  const ParameterScore score = score_moving(r, k);
  const float fa = score(r.s.a[k]);
  const float fb = score(r.s.b[k]);
  r.s.fa = fa;
  if (fa < fb) {
    std::swap(r.s.a[k], r.s.b[k]);
    r.s.fa = fb;
  }
}

void start_search(Refinement& r, const CtfModel& start, const RefineSteps& steps) {
  const double r1 = quib_random_unit();
  const double r2 = quib_random_unit();
  const float U0 = start.defocus_u, V0 = start.defocus_v, A0 = start.angle, P0 = start.phase_shift;
  const float range = steps.phase_range;
  Search& s = r.s;
  s.a[kMean] = (U0 + V0) / 2.0f;
  s.b[kMean] = s.a[kMean] - steps.defocus;
  s.a[kAstigmatism] = (V0 - U0) / 2.0f;
  s.b[kAstigmatism] = s.a[kAstigmatism] - steps.defocus;
  s.a[kAngle] = A0 + steps.angle / 2.0f;
  s.b[kAngle] = A0 - steps.angle / 2.0f;
  s.a[kPhase] = static_cast<float>(P0 + r1 * range / 3.0);
  s.b[kPhase] = static_cast<float>(P0 - range + r2 * range / 3.0);

  const CTF_REF_CONTROL& c = r.control;
  if (c.refine_astigmatism) compare_start_points(r, kAstigmatism);
  if (c.refine_angle) compare_start_points(r, kAngle);
  if (c.refine_phase_shift) compare_start_points(r, kPhase);
  if (!c.refine_astigmatism && !c.refine_angle && !c.refine_phase_shift) s.fa = score_a(r);
  // A parameter that is not refined has a closed bracket, so it never moves.
  if (!c.refine_defocus) s.b[kMean] = s.a[kMean];
  if (!c.refine_astigmatism) s.b[kAstigmatism] = s.a[kAstigmatism];
  if (!c.refine_angle) s.b[kAngle] = s.a[kAngle];
}

// Moves parameter k once unless it is switched off or its bracket is within the tolerance, in
// which case it is marked converged. With rescore the best point is scored afresh first.
// Returns whether it moved.
bool step_parameter(Refinement& r, Parameter k, bool refine, float tolerance, double jitter_divisor, bool rescore,
                    int32_t& converged) {
  if (!refine || !(std::fabs(r.s.a[k] - r.s.b[k]) > tolerance)) {
    converged = 1;
    return false;
  }
  if (rescore) r.s.fa = score_a(r);
  const double jitter = quib_random_unit() * tolerance / jitter_divisor;
  bracket_move(r.s.a[k], r.s.b[k], r.s.fa, jitter, score_moving(r, k));
  return true;
}

void log_step(Refinement& r, RefineStep step, float U, float V) {
  refine_log_step(r.control, r.log, step, CtfModel{U, V, r.s.a[kAngle], r.s.a[kPhase]}, r.s.fa);
}

void log_step(Refinement& r, RefineStep step) { refine_log_step(r.control, r.log, step, model_at(r.s.a), r.s.fa); }

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
  // The phase shift also stops once it has walked the whole range away from its start.
  const bool phase_in_range = std::fabs(r.s.a[kPhase] - P0) < phase_range;
  if (step_parameter(r, kPhase, c.refine_phase_shift && phase_in_range, c.phase_tolerance, 3.0, false,
                     c.phase_converged))
    log_step(r, RefineStep::PhaseShift);
  return c.angle_converged && c.defocus_converged && c.astigmatism_converged && c.phase_converged;
}

}  // namespace

CtfFit hcuda_ctfrefine_half2d(const RefineTarget& target, const CtfModel& start, const RefineSteps& steps,
                              CTF_REF_CONTROL control, FILE* log) {
  const int nh = target.N / 2 + 1, ny = target.ny;
  const RefineScorer scorer = refine_scorer(target.measured, nh, ny, target.fit);
  Refinement r{scorer, target.work, control, log, Search{}};

  quib_reseed();
  refine_log_start(control, log);
  start_search(r, start, steps);
  refine_log_column_header(control, log);

  bool converged = false;
  for (int cycle = 0; cycle < kMaxCycles && !converged; ++cycle) {
    refine_log_cycle(control, log, cycle);
    converged = refine_cycle(r, start.phase_shift, steps.phase_range);
    if (converged) refine_log_last_cycle(control, log);
  }

  CtfFit fit;
  CtfModel& m = fit.model;
  m.defocus_u = r.s.a[kMean] - r.s.a[kAstigmatism];
  m.defocus_v = r.s.a[kMean] + r.s.a[kAstigmatism];
  m.angle = r.s.a[kAngle];
  quib_format_UVA(m.defocus_u, m.defocus_v, m.angle);
  m.phase_shift = r.s.a[kPhase];
  fit.ccc = ctf_normalised_ccc(r.s.fa, target.work, target.measured, nh, ny, target.fit, m);
  refine_report_final(control, log, m, fit.ccc);
  if (!converged) refine_report_too_many_cycles(log);
  hcuda_band_ctf_modsquare(target.work, static_cast<size_t>(nh) * ny, *scorer.band, ctf_trial(target.fit.optics, m));
  return fit;
}
