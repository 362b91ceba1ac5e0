// The phase-shift search: a 1D search and a fixed-phase refinement for every candidate phase
// shift, then a refinement of the best candidate with its phase shift free.
#include <cstdio>

#include "core/report.h"
#include "ctf/phase_candidates.h"
#include "ctf/resolution_limit.h"
#include "ctf/search_sequence.h"
#include "run/quib_para.h"

namespace {

constexpr int kEpaOversampling = 4;

// The fixed-phase refinement of one candidate (with its high-resolution pass when asked for).
CtfFit refine_candidate(const SearchContext& context, float P) {
  const QUIB_Para* p = context.para;
  const RefineStart start = start_after_1d_search(context, P);
  const RefineSteps steps{start.defocus_step, start.angle_step, 0.0f};
  if (!p->do_Hres_ref) return refine_pass(context, start.model, steps, {p->bfac, p->resL, p->resH}, {0, 0, 0, 1});
  const RefineBand first_band{p->bfac, p->resL, first_pass_resolution(p->resH, p->apix)};
  const CtfFit first = refine_pass(context, start.model, steps, first_band, {0, 0, 0, 1});
  return refine_pass(context, first, second_pass_steps(first), second_pass_band(p), {0, 1, 0, 1});
}

float candidate_resolution(const SearchContext& context, const CtfFit& fit) {
  const QUIB_Para* p = context.para;
  const int nh = p->boxsize / 2 + 1;
  float R = kPhaseSearchResolutionThreshold;
  ctf_epa_1d_ccf(R, kPhaseSearchResolutionThreshold, context.measured, kEpaOversampling, p->apix, nh, p->boxsize, fit.P,
                 p->kV, p->cs, p->ac, fit.U, fit.V, fit.A, p->resL, 2.0f * p->apix + 0.1f);
  return R;
}

}  // namespace

CtfFit sequence_phase_search(const SearchContext& context) {
  const QUIB_Para* p = context.para;
  const int target = p->phase_shift_T;
  if (target == 2)
    printf(
        "searching phase shift ... \n Phase_shift      def_U         def_V         Angle       CCC          "
        "Res_limit\n");
  else
    printf("searching phase shift ... \n Phase_shift      def_U         def_V         Angle       CCC        \n");
  PhaseCandidateChoice choice;
  const int count = phase_shift_candidate_count(p->phase_shift_L, p->phase_shift_H, p->phase_shift_S);
  for (int i = 0; i < count; ++i) {
    const CtfFit fit = refine_candidate(context, p->phase_shift_L + i * p->phase_shift_S);
    if (target == 2) {
      const float R = candidate_resolution(context, fit);
      printf("%12.2f %12.2f %12.2f %12.2f %12.6f %12.4f \n", fit.P, fit.U, fit.V, fit.A, fit.ccc, R);
      choice.consider_resolution(fit, R);
    } else {
      printf("%12.2f %12.2f %12.2f %12.2f %12.6f \n", fit.P, fit.U, fit.V, fit.A, fit.ccc);
      choice.consider_score(fit);
    }
  }

  const RefineBand band{p->bfac, p->resL, p->resH};
  if (choice.count == 0) {
    QUIB_WARNING("ctf", "No phase shift lies in the search range; refining from --phase_shift_L");
    const RefineStart start = start_after_1d_search(context, p->phase_shift_L);
    return refine_pass(context, start.model, {start.defocus_step, start.angle_step, p->phase_shift_S}, band,
                       {1, 0, 1, 1});
  }
  if (!choice.has_best)
    QUIB_WARNING("ctf", "No phase-shift candidate met the search target; the best-scoring one is refined");
  const CtfFit& best = choice.chosen();
  return refine_pass(context, best, {(best.U - best.V) / 3.0f, 3.0f, p->phase_shift_S}, band, {1, 0, 1, 1});
}
