#include "run/validation_stage.h"

#include "core/ctf_model.h"
#include "ctf/ctf_validation.h"
#include "run/stage_settings.h"

void validate_micrograph_ctf(const MicrographFiles& f, const QUIB_Para& p, const RunGeometry& g, const RunBuffers& b,
                             const CTF_INFO& ctf) {
  const ValidationInput input{b.spectrum.subtracted.get(), b.display.get(), g.box, run_optics(p), p.bfac};
  ctf_validation(input, ctf_model_of(ctf), f.log);
}
