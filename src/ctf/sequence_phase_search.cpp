// The phase-shift search: a 1D search and a fixed-phase refinement for every candidate phase
// shift, then a refinement of the best candidate with its phase shift free.
#include <cstdio>

#include "core/report.h"
#include "ctf/phase_candidates.h"
#include "ctf/resolution_limit.h"
#include "ctf/search_sequence.h"

namespace {

constexpr int kEpaOversampling = 4;

// The fixed-phase refinement of one candidate (with its high-resolution pass when asked for).
CtfFit refine_candidate(const SearchContext& context, float P) {
  const SearchRefineSettings& s = *context.settings;
  const CtfSampling& sampling = s.search_1d.sampling;
  const RefineStart start = start_after_1d_search(context, P);
  const RefineSteps steps{start.defocus_step, start.angle_step, 0.0f};
  if (!s.high_resolution.on) return refine_pass(context, start.model, steps, full_band(s), {0, 0, 0, 1});
  const RefineBand first_band = first_pass_band(s, first_pass_resolution(sampling.band.high, sampling.optics.apix));
  const CtfFit first = refine_pass(context, start.model, steps, first_band, {0, 0, 0, 1});
  return refine_pass(context, first.model, second_pass_steps(first.model), second_pass_band(s), {0, 1, 0, 1});
}

float candidate_resolution(const SearchContext& context, const CtfFit& fit) {
  const SearchRefineSettings& s = *context.settings;
  const Optics& optics = s.search_1d.sampling.optics;
  const int box = s.search_1d.box;
  const EpaSettings epa{kEpaOversampling, kPhaseSearchResolutionThreshold,
                        RESO{s.search_1d.sampling.band.low, 2.0f * optics.apix + 0.1f}};
  return ctf_epa_1d_ccf(context.measured, box / 2 + 1, box, optics, fit.model, epa);
}

}  // namespace

CtfFit sequence_phase_search(const SearchContext& context) {
  const SearchRefineSettings& s = *context.settings;
  const PhaseShiftSettings& phase = s.phase;
  if (phase.target == 2)
    printf(
        "searching phase shift ... \n Phase_shift      def_U         def_V         Angle       CCC          "
        "Res_limit\n");
  else
    printf("searching phase shift ... \n Phase_shift      def_U         def_V         Angle       CCC        \n");
  PhaseCandidateChoice choice;
  const int count = phase_shift_candidate_count(phase.low, phase.high, phase.step);
  for (int i = 0; i < count; ++i) {
    const CtfFit fit = refine_candidate(context, phase.low + i * phase.step);
    const CtfModel& m = fit.model;
    if (phase.target == 2) {
      const float R = candidate_resolution(context, fit);
      printf("%12.2f %12.2f %12.2f %12.2f %12.6f %12.4f \n", m.phase_shift, m.defocus_u, m.defocus_v, m.angle, fit.ccc,
             R);
      choice.consider_resolution(fit, R);
    } else {
      printf("%12.2f %12.2f %12.2f %12.2f %12.6f \n", m.phase_shift, m.defocus_u, m.defocus_v, m.angle, fit.ccc);
      choice.consider_score(fit);
    }
  }

  const RefineBand band = full_band(s);
  if (choice.count == 0) {
    QUIB_WARNING("ctf", "No phase shift lies in the search range; refining from --phase_shift_L");
    const RefineStart start = start_after_1d_search(context, phase.low);
    return refine_pass(context, start.model, {start.defocus_step, start.angle_step, phase.step}, band, {1, 0, 1, 1});
  }
  if (!choice.has_best)
    QUIB_WARNING("ctf", "No phase-shift candidate met the search target; the best-scoring one is refined");
  const CtfModel& best = choice.chosen().model;
  return refine_pass(context, best, {(best.defocus_u - best.defocus_v) / 3.0f, 3.0f, phase.step}, band, {1, 0, 1, 1});
}
