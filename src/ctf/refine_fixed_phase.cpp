#include "ctf/refine_fixed_phase.h"

#include "core/ctf_model.h"
#include "ctf/ctf_simulate.h"
#include "ctf/random_seed.h"
#include "ctf/refine_2d_report.h"
#include "ctf/refine_normalise.h"
#include "ctf/refine_search.h"

namespace {

// A silent search over the mean defocus and, when asked, the astigmatism and the angle; the phase
// shift never moves.
CTF_REF_CONTROL fixed_phase_control(bool astigmatism_and_angle) {
  CTF_REF_CONTROL c;
  ctf_ref_control_init(c);
  c.defocus_tolerance = 1.0f;
  c.angle_tolerance = 0.5f;
  c.refine_astigmatism = astigmatism_and_angle;
  c.refine_angle = astigmatism_and_angle;
  c.set_PHSL(0, 0, 0, 0);
  return c;
}

// Every parameter's bracket closed at the start model, but the mean defocus one step below it.
void start_at(RefineSearch& s, const CtfModel& start, float defocus_step) {
  const float point[kParameters] = {(start.defocus_u + start.defocus_v) / 2.0f,
                                    (start.defocus_v - start.defocus_u) / 2.0f, start.angle, start.phase_shift};
  for (int k = 0; k < kParameters; ++k) s.a[k] = s.b[k] = point[k];
  s.b[kMean] = s.a[kMean] - defocus_step;
}

// Opens the astigmatism bracket between the exchanged pair (tried first, kept on a tie) and the
// given one, and the angle bracket one angle step above the start, scored with the given pair.
void open_astigmatism_and_angle(Refinement& r, float angle_step) {
  RefineSearch& s = r.s;
  float given[kParameters];
  for (int k = 0; k < kParameters; ++k) given[k] = s.a[k];
  s.a[kAstigmatism] = -given[kAstigmatism];
  s.b[kAstigmatism] = given[kAstigmatism];
  refine_compare_start_points(r, kAstigmatism, s.a);
  s.b[kAngle] = s.a[kAngle] + angle_step;
  refine_compare_start_points(r, kAngle, given);
}

// The search's result with its normalised score; work then holds |CTF| E of it.
CtfFit finish(const RefineTarget& target, const Refinement& r, float angle) {
  const int nh = target.N / 2 + 1;
  CtfFit fit{refine_model_at(r.s.a), 0.0f};
  fit.model.angle = angle;
  fit.ccc = ctf_normalised_ccc(r.s.fa, target.measured, nh, target.ny, target.fit, fit.model);
  hcuda_ctf_mod_simulate_2d_half(target.work, nh, target.ny, target.fit, fit.model);
  return fit;
}

}  // namespace

FixedPhaseFit refine_defocus_astigmatism_angle(const RefineTarget& target, const CtfModel& start, float defocus_step,
                                               float angle_step) {
  const RefineScorer scorer = refine_scorer(target.measured, target.N / 2 + 1, target.ny, target.fit);
  CTF_REF_CONTROL control = fixed_phase_control(true);
  Refinement r{scorer, control, nullptr, BracketStride::Single, RefineSearch{}};
  quib_reseed();
  start_at(r.s, start, defocus_step);
  open_astigmatism_and_angle(r, angle_step);
  const bool converged = refine_run_cycles(r, start.phase_shift, 0.0f);
  return FixedPhaseFit{finish(target, r, hd_mod_angle_m90_p90(r.s.a[kAngle])), converged};
}

CtfFit hcuda_ctfrefine_half2d_local(const RefineTarget& target, const CtfModel& start, float defocus_step,
                                    float angle_step, FILE* log) {
  const FixedPhaseFit result = refine_defocus_astigmatism_angle(target, start, defocus_step, angle_step);
  if (!result.converged) refine_report_too_many_cycles(log);
  return result.fit;
}

CtfFit hcuda_ctfrefine_half2d_only_defave(const RefineTarget& target, const CtfModel& start, float defocus_step,
                                          FILE* log) {
  const RefineScorer scorer = refine_scorer(target.measured, target.N / 2 + 1, target.ny, target.fit);
  CTF_REF_CONTROL control = fixed_phase_control(false);
  Refinement r{scorer, control, log, BracketStride::Single, RefineSearch{}};
  start_at(r.s, start, defocus_step);
  r.s.fa = refine_score_at(r, r.s.a);
  if (!refine_run_cycles(r, start.phase_shift, 0.0f)) refine_report_too_many_cycles(log);
  return finish(target, r, start.angle);
}
