#include "run/stage_settings.h"

#include "core/ctf_model.h"
#include "core/text_lines.h"
#include "run/checks.h"

namespace {

// The highest frequency the driver's EPA reaches: just below Nyquist.
float epa_high_limit(const QUIB_Para& p) { return 2.0f * p.apix + 0.1f; }

InputCtf input_ctf_of(const QUIB_Para& p, int index) {
  if (!p.refine_input_ctf) return InputCtf::None;
  if (!p.input_ctfstar_set) return p.nfiles == 1 && is_str_null(p.watch) ? InputCtf::CommandLine : InputCtf::None;
  const bool listed = index >= 0 && index < p.nfiles && p.init_ctfs[index].has_init == 1;
  return listed ? InputCtf::StarFile : InputCtf::None;
}

}  // namespace

Optics run_optics(const QUIB_Para& p) { return make_optics(p.kV, p.cs, p.ac, p.apix); }

CtfStarLayout ctfstar_layout(const QUIB_Para& p) {
  return p.ctfstar_format == 31 ? CtfStarLayout::kRelion31 : CtfStarLayout::kRelion30;
}

DefocusSearchSettings defocus_search_settings(const QUIB_Para& p) {
  return {p.boxsize, CtfSampling{run_optics(p), p.bfac, RESO{p.resL, p.resH}}, p.defL, p.defH, p.defS};
}

RefineStartSettings refine_start_settings(const QUIB_Para& p, int index) {
  RefineStartSettings s{};
  s.input = input_ctf_of(p, index);
  if (s.input == InputCtf::CommandLine)
    s.values = CTF_INIT{1, p.kV, p.cs, p.ac, p.ps_init, p.defU_init, p.defV_init, p.defA_init, p.B_init};
  else if (s.input == InputCtf::StarFile)
    s.values = p.init_ctfs[index];
  s.phase_step = s.input == InputCtf::StarFile ? p.phase_shift_S : p.ps_err;
  s.defocus_step = (p.defU_err + p.defV_err) / 2.0f;
  s.angle_step = p.defA_err;
  s.bfactor = p.B_init;
  s.bfactor_step = p.B_err;
  s.astigmatism = p.astm;
  s.grid_step = p.defS;
  return s;
}

float micrograph_defocus_range(const QUIB_Para& p, int index) {
  const RefineStartSettings start = refine_start_settings(p, index);
  return refines_input_ctf(start) ? start.defocus_step : p.defS;
}

SearchRefineSettings search_refine_settings(const QUIB_Para& p, int index) {
  SearchRefineSettings s{};
  s.search_1d = defocus_search_settings(p);
  s.high_resolution = HighResolutionPass{p.do_Hres_ref, p.Href_bfac, RESO{p.Href_resL, p.Href_resH}};
  s.phase = PhaseShiftSettings{p.do_phase_shift, p.refine_input_ps, p.phase_shift_L,
                               p.phase_shift_H,  p.phase_shift_S,   p.phase_shift_T};
  s.start = refine_start_settings(p, index);
  s.listed_phase_shift = index >= 0 && index < p.nfiles ? p.init_ctfs[index].phase_shift : 0.0f;
  s.control = p.ref_control;
  return s;
}

LocalRefineSettings local_refine_settings(const QUIB_Para& p, int index) {
  const LocalWeighting weighting{p.local_avetype, p.local_radius, p.apix, p.local_resH};
  return {p.local_boxsize,
          quib_local_grid_step(p.local_overlap, p.local_boxsize),
          weighting,
          p.refine_local_astm != 0,
          CtfSampling{run_optics(p), p.bfac, RESO{p.local_resL, p.local_resH}},
          micrograph_defocus_range(p, index) / 3.0f};
}

ResolutionSettings resolution_settings(const QUIB_Para& p) {
  const EpaSettings epa{p.EPA_oversmp, 20.0f, RESO{p.resL, epa_high_limit(p)}};
  return {epa, p.estimate_B, RESO{p.B_resL, p.B_resH}};
}

DiagnosisSettings diagnosis_settings(const QUIB_Para& p) {
  const CtfSampling simulated{run_optics(p), p.ctfout_bfac, RESO{p.ctfout_resL, p.ctfout_resH}};
  return {p.boxsize, simulated, p.resH, p.plot_res_ring};
}
