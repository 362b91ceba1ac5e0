#include "ctf/refine_2d.h"

#include "core/ctf_model.h"
#include "ctf/band_ctf.h"
#include "ctf/random_seed.h"
#include "ctf/refine_2d_report.h"
#include "ctf/refine_normalise.h"
#include "ctf/refine_search.h"

namespace {

void start_search(Refinement& r, const CtfModel& start, const RefineSteps& steps) {
  const double r1 = quib_random_unit();
  const double r2 = quib_random_unit();
  const float U0 = start.defocus_u, V0 = start.defocus_v, A0 = start.angle, P0 = start.phase_shift;
  const float range = steps.phase_range;
  RefineSearch& s = r.s;
  s.a[kMean] = (U0 + V0) / 2.0f;
  s.b[kMean] = s.a[kMean] - steps.defocus;
  s.a[kAstigmatism] = (V0 - U0) / 2.0f;
  s.b[kAstigmatism] = s.a[kAstigmatism] - steps.defocus;
  s.a[kAngle] = A0 + steps.angle / 2.0f;
  s.b[kAngle] = A0 - steps.angle / 2.0f;
  s.a[kPhase] = static_cast<float>(P0 + r1 * range / 3.0);
  s.b[kPhase] = static_cast<float>(P0 - range + r2 * range / 3.0);

  const CTF_REF_CONTROL& c = r.control;
  if (c.refine_astigmatism) refine_compare_start_points(r, kAstigmatism, s.a);
  if (c.refine_angle) refine_compare_start_points(r, kAngle, s.a);
  if (c.refine_phase_shift) refine_compare_start_points(r, kPhase, s.a);
  if (!c.refine_astigmatism && !c.refine_angle && !c.refine_phase_shift) s.fa = refine_score_at(r, s.a);
  // A parameter that is not refined has a closed bracket, so it never moves.
  if (!c.refine_defocus) s.b[kMean] = s.a[kMean];
  if (!c.refine_astigmatism) s.b[kAstigmatism] = s.a[kAstigmatism];
  if (!c.refine_angle) s.b[kAngle] = s.a[kAngle];
}

}  // namespace

CtfFit hcuda_ctfrefine_half2d(const RefineTarget& target, const CtfModel& start, const RefineSteps& steps,
                              CTF_REF_CONTROL control, FILE* log) {
  const int nh = target.N / 2 + 1, ny = target.ny;
  const RefineScorer scorer = refine_scorer(target.measured, nh, ny, target.fit);
  Refinement r{scorer, control, log, BracketStride::Double, RefineSearch{}};

  quib_reseed();
  refine_log_start(control, log);
  start_search(r, start, steps);
  refine_log_column_header(control, log);

  const bool converged = refine_run_cycles(r, start.phase_shift, steps.phase_range);

  CtfFit fit;
  CtfModel& m = fit.model;
  m.defocus_u = r.s.a[kMean] - r.s.a[kAstigmatism];
  m.defocus_v = r.s.a[kMean] + r.s.a[kAstigmatism];
  m.angle = r.s.a[kAngle];
  quib_format_UVA(m.defocus_u, m.defocus_v, m.angle);
  m.phase_shift = r.s.a[kPhase];
  fit.ccc = ctf_normalised_ccc(r.s.fa, target.measured, nh, ny, target.fit, m);
  refine_report_final(control, log, m, fit.ccc);
  if (!converged) refine_report_too_many_cycles(log);
  hcuda_band_ctf_modsquare(target.work, static_cast<size_t>(nh) * ny, *scorer.band, ctf_trial(target.fit.optics, m));
  return fit;
}
