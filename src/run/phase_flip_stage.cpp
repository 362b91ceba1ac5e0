#include "run/phase_flip_stage.h"

#include <cstdio>
#include <string>

#include "arrays/array_ops_2d.h"
#include "core/ctf_model.h"
#include "core/report.h"
#include "ctf/phase_flip.h"
#include "output/mrc_write_device.h"
#include "run/micrograph_names.h"
#include "run/stage_settings.h"

namespace {

// To the screen and to the micrograph's log.
void say(FILE* log, const std::string& text) {
  fputs(text.c_str(), stdout);
  fputs(text.c_str(), log);
}

}  // namespace

void write_phase_flipped_micrograph(const MicrographFiles& f, const QUIB_Para& p, const RunGeometry& g,
                                    const RunBuffers& b, const CTF_INFO& ctf) {
  float* image = b.image.get();
  if (g.nz > 1) {
    say(f.log, "Only support movie CTF determination, not correction. Will output phase-flipped average.\n");
    hcuda_2d_divide_inplace(image, g.nx, g.ny, static_cast<float>(g.nz));
  }
  const std::string output = phase_flip_file(f.name);
  say(f.log, std::string(f.name) + " flipping phase ...\n");
  // A device failure is reported by the caller, which ends the run.
  if (phase_flip_image(image, g.nx, g.ny, run_optics(p), ctf_model_of(ctf)) != 0) return;
  MrcHeadPtr head = mrc_new_head();
  mrc_set_head_xyz_mode(head.get(), g.nx, g.ny, 1, MRC_MODE_FLOAT);
  mrc_set_head_pixel_size(head.get(), p.apix);
  if (mrcf_write_head_ddata(output.c_str(), head.get(), image) != 0) QUIB_FATAL_WRITE_FAILED("quib", output.c_str());
}
