// The movie and stack refinement stage of one micrograph, run once its CTF is final.
#pragma once

#include "core/ctf_records.h"
#include "run/ctf_stages.h"
#include "run/quib_para.h"
#include "run/run_buffers.h"

// Refines the windows of --mdef_aveN frames of a movie or stack (buffers.stack) from the stack's
// CTF, with the defocus step a tenth of the micrograph's defocus range. A single image has no
// frames to follow: it is skipped with a warning.
void refine_movie_windows(const MicrographFiles& files, const QUIB_Para& para, const RunGeometry& geometry,
                          const RunBuffers& buffers, const CTF_INFO& ctf);
