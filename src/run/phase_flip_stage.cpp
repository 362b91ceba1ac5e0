#include "run/phase_flip_stage.h"

#include <cstdio>

#include "arrays/array_ops_2d.h"
#include "core/ctf_model.h"
#include "core/report.h"
#include "ctf/phase_flip.h"
#include "output/mrc_write_device.h"
#include "run/micrograph_names.h"
#include "run/stage_settings.h"

void write_phase_flipped_micrograph(const MicrographFiles& f, const QUIB_Para& p, const RunGeometry& g,
                                    const RunBuffers& b, const CTF_INFO& ctf) {
  float* image = b.image.get();
  if (g.nz > 1) {
    printf("Only support movie CTF determination, not correction. Will output phase-flipped average.\n");
    hcuda_2d_divide_inplace(image, g.nx, g.ny, static_cast<float>(g.nz));
  }
  const std::string output = phase_flip_file(f.name);
  printf("%s flipping phase ...\n", f.name);
  // A device failure is reported by the caller, which ends the run.
  if (phase_flip_image(image, g.nx, g.ny, run_optics(p), ctf_model_of(ctf)) != 0) return;
  if (mrcf_write_xyz_ddata(output.c_str(), image, g.nx, g.ny, 1) != 0) QUIB_FATAL_WRITE_FAILED("quib", output.c_str());
}
