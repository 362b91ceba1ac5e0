// The ab-initio sequence and the refinement of a user's CTF with its phase shift.
#include <algorithm>
#include <cstdio>

#include "core/report.h"
#include "ctf/refine_start.h"
#include "ctf/search_sequence.h"
#include "run/quib_para.h"

float first_pass_resolution_ab_initio(float resH) { return std::min(2.0f * resH, 10.0f); }

float first_pass_resolution(float resH, float apix) {
  return 2.0f * resH <= 10.0f ? 2.0f * resH : std::max(10.0f, 2.0f * apix);
}

CtfFit sequence_ab_initio(const SearchContext& context) {
  const QUIB_Para* p = context.para;
  const RefineStart start = start_after_1d_search(context, 0.0f);
  const RefineSteps steps{start.defocus_step, start.angle_step, p->phase_shift_S};
  if (!p->do_Hres_ref) return refine_pass(context, start.model, steps, {p->bfac, p->resL, p->resH}, {0, 0, 1, 1});
  const RefineBand first_band{p->bfac, p->resL, first_pass_resolution_ab_initio(p->resH)};
  const CtfFit first = refine_pass(context, start.model, steps, first_band, {0, 0, 0, 1});
  return refine_pass(context, first, second_pass_steps(first), second_pass_band(p), {0, 1, 1, 1});
}

CtfFit sequence_input_phase(const SearchContext& context) {
  const QUIB_Para* p = context.para;
  printf("refining phase shift ... \n Phase_shift      def_U         def_V         Angle       CCC        \n");
  RefineStart start;
  if (refines_input_ctf(p, context.index)) {
    start = start_from_input(context);
  } else {
    // Without the user's values for this micrograph the refinement starts from a 1D search at the
    // micrograph's listed phase shift.
    QUIB_WARNING("ctf", "No input CTF values for this micrograph; starting from a 1D defocus search");
    start = start_after_1d_search(context, p->init_ctfs[context.index].phase_shift);
    start.phase_step = p->phase_shift_S;
  }
  if (!p->do_Hres_ref)
    return refine_pass(context, start.model, {start.defocus_step, start.angle_step, start.phase_step},
                       {p->bfac, p->resL, p->resH}, {1, 0, 1, 1});
  const RefineBand first_band{p->bfac, p->resL, first_pass_resolution(p->resH, p->apix)};
  const CtfFit first =
      refine_pass(context, start.model, {start.defocus_step, start.angle_step, 0.0f}, first_band, {0, 0, 0, 1});
  return refine_pass(context, first, second_pass_steps(first), second_pass_band(p), {1, 1, 0, 1});
}
