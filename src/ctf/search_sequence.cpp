#include "ctf/search_sequence.h"

CtfFit refine_pass(const SearchContext& context, const CtfModel& from, const RefineSteps& steps, const RefineBand& band,
                   const RefineSwitches& switches) {
  const SearchRefineSettings& s = *context.settings;
  CTF_REF_CONTROL control = s.control;
  control.set_PHSL(switches.phase, switches.high_resolution, switches.screen, switches.log);
  const int box = s.search_1d.box;
  const CtfSampling fit{s.search_1d.sampling.optics, band.bfac, RESO{band.resL, band.resH}};
  const RefineTarget target{context.measured, context.work, box, box, fit};
  return hcuda_ctfrefine_half2d(target, from, steps, control, context.log);
}

RefineBand first_pass_band(const SearchRefineSettings& settings, float resH) {
  const CtfSampling& s = settings.search_1d.sampling;
  return {s.bfactor, s.band.low, resH};
}

RefineBand full_band(const SearchRefineSettings& settings) {
  return first_pass_band(settings, settings.search_1d.sampling.band.high);
}

RefineBand second_pass_band(const SearchRefineSettings& settings) {
  const HighResolutionPass& h = settings.high_resolution;
  return {h.bfactor, h.band.low, h.band.high};
}

RefineSteps second_pass_steps(const CtfModel& first) {
  return {(first.defocus_u - first.defocus_v) / 3.0f, 3.0f, 0.0f};
}

RefineStart start_after_1d_search(const SearchContext& context, float P) {
  const SearchRefineSettings& s = *context.settings;
  float D = 0.0f;
  quib_1D_search2(context.spectrum_copy, D, P, s.search_1d, context.log);
  RefineStart start{};
  quib_set_init_defUVA_for_2D_refine(start, s.start, D);
  start.model.phase_shift = P;
  return start;
}

RefineStart start_from_input(const SearchContext& context) {
  RefineStart start{};
  quib_set_init_defUVA_for_2D_refine(start, context.settings->start, 0.0f);
  return start;
}
