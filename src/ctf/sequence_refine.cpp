// The ab-initio sequence and the refinement of a user's CTF with its phase shift.
#include <algorithm>
#include <cstdio>

#include "core/report.h"
#include "ctf/refine_start.h"
#include "ctf/search_sequence.h"

float first_pass_resolution_ab_initio(float resH) { return std::min(2.0f * resH, 10.0f); }

float first_pass_resolution(float resH, float apix) {
  return 2.0f * resH <= 10.0f ? 2.0f * resH : std::max(10.0f, 2.0f * apix);
}

CtfFit sequence_ab_initio(const SearchContext& context) {
  const SearchRefineSettings& s = *context.settings;
  const RefineStart start = start_after_1d_search(context, 0.0f);
  const RefineSteps steps{start.defocus_step, start.angle_step, s.phase.step};
  if (!s.high_resolution.on) return refine_pass(context, start.model, steps, full_band(s), {0, 0, 1, 1});
  const float resH = s.search_1d.sampling.band.high;
  const CtfFit first =
      refine_pass(context, start.model, steps, first_pass_band(s, first_pass_resolution_ab_initio(resH)), {0, 0, 0, 1});
  return refine_pass(context, first.model, second_pass_steps(first.model), second_pass_band(s), {0, 1, 1, 1});
}

CtfFit sequence_input_phase(const SearchContext& context) {
  const SearchRefineSettings& s = *context.settings;
  printf("refining phase shift ... \n Phase_shift      def_U         def_V         Angle       CCC        \n");
  RefineStart start;
  if (refines_input_ctf(s.start)) {
    start = start_from_input(context);
  } else {
    // Without the user's values for this micrograph the refinement starts from a 1D search at the
    // micrograph's listed phase shift.
    QUIB_WARNING("ctf", "No input CTF values for this micrograph; starting from a 1D defocus search");
    start = start_after_1d_search(context, s.listed_phase_shift);
    start.phase_step = s.phase.step;
  }
  if (!s.high_resolution.on)
    return refine_pass(context, start.model, {start.defocus_step, start.angle_step, start.phase_step}, full_band(s),
                       {1, 0, 1, 1});
  const CtfSampling& sampling = s.search_1d.sampling;
  const RefineBand first_band = first_pass_band(s, first_pass_resolution(sampling.band.high, sampling.optics.apix));
  const CtfFit first =
      refine_pass(context, start.model, {start.defocus_step, start.angle_step, 0.0f}, first_band, {0, 0, 0, 1});
  return refine_pass(context, first.model, second_pass_steps(first.model), second_pass_band(s), {1, 1, 0, 1});
}
