#include "ctf/search_sequence.h"

#include "core/ctf_records.h"
#include "ctf/refine_2d.h"
#include "ctf/refine_start.h"
#include "ctf/search_1d.h"
#include "run/quib_para.h"

CtfFit refine_pass(const SearchContext& context, const CtfFit& from, const RefineSteps& steps, const RefineBand& band,
                   const RefineSwitches& switches) {
  const QUIB_Para* p = context.para;
  CTF_REF_CONTROL control = p->ref_control;
  control.set_PHSL(switches.phase, switches.high_resolution, switches.screen, switches.log);
  CtfFit fit{};
  hcuda_ctfrefine_half2d(context.measured, context.work, fit.U, fit.V, fit.A, fit.P, fit.ccc, p->apix, p->boxsize,
                         p->boxsize, p->kV, p->cs, p->ac, from.U, from.V, from.A, from.P, steps.defocus, steps.angle,
                         steps.phase_range, band.bfac, band.resL, band.resH, control, context.log);
  return fit;
}

RefineSteps second_pass_steps(const CtfFit& first) { return {(first.U - first.V) / 3.0f, 3.0f, 0.0f}; }

RefineBand second_pass_band(const QUIB_Para* para) { return {para->Href_bfac, para->Href_resL, para->Href_resH}; }

namespace {

RefineStart start_point(const SearchContext& context, float D) {
  RefineStart s{};
  quib_set_init_defUVA_for_2D_refine(s.model.P, s.model.U, s.model.V, s.model.A, s.B, s.phase_step, s.defocus_step,
                                     s.angle_step, s.B_step, context.para, context.index, D);
  return s;
}

}  // namespace

RefineStart start_after_1d_search(const SearchContext& context, float P) {
  float D = 0.0f;
  quib_1D_search2(context.spectrum_copy, D, P, context.para, context.log);
  RefineStart s = start_point(context, D);
  s.model.P = P;
  return s;
}

RefineStart start_from_input(const SearchContext& context) { return start_point(context, 0.0f); }
