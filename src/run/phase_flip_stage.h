// The phase-flip stage of one micrograph, run last, once its CTF is final.
#pragma once

#include "core/ctf_records.h"
#include "run/ctf_stages.h"
#include "run/quib_para.h"
#include "run/run_buffers.h"

// Flips buffers.image with the final CTF over the whole spectrum and writes it as stem + "_pf.mrc"
// (mode 2, nx x ny x 1). A movie or stack holds the sum of its frames: its average is flipped.
// buffers.image is overwritten.
void write_phase_flipped_micrograph(const MicrographFiles& files, const QUIB_Para& para, const RunGeometry& geometry,
                                    const RunBuffers& buffers, const CTF_INFO& ctf);
