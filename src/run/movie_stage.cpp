#include "run/movie_stage.h"

#include "backend/device.h"
#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/movie_refine.h"
#include "run/stage_settings.h"

namespace {

MovieRefineSettings movie_refine_settings(const QUIB_Para& p, int index, const RunGeometry& g) {
  MovieRefineSettings s;
  s.grid = FrameGrid{g.box, g.step};
  s.convsize = p.convsize;
  s.fit = CtfSampling{run_optics(p), p.bfac, RESO{p.resL, p.resH}};
  s.defocus_step = micrograph_defocus_range(p, index) / 10.0f;
  s.window = p.mdef_aveN;
  s.fit_lines = p.mdef_fit != 0;
  s.refine_astigmatism = p.refine_local_astm != 0;
  s.phase_column = p.do_phase_shift != 0;
  // Half of what is free, so that the refinement's other buffers and the FFT plans still fit.
  s.spectra_memory = device_memory_available() / 2;
  return s;
}

}  // namespace

void refine_movie_windows(const MicrographFiles& f, const QUIB_Para& p, const RunGeometry& g, const RunBuffers& b,
                          const CTF_INFO& ctf) {
  if (g.nz < 2) {
    put_log_line(f.log, "Warning: %s is a single image; movie and stack refinement needs frames and is skipped.\n",
                 f.name);
    return;
  }
  const MovieFrames movie{b.stack.get(), g.nx, g.ny, g.nz};
  ctf_movie_stack_refine(movie, CtfFit{ctf_model_of(ctf), ctf.ccc}, movie_refine_settings(p, f.index, g), f.log);
}
