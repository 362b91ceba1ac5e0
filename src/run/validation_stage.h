// The validation stage of one micrograph: its fitted CTF graded in resolution bands.
#pragma once

#include "core/ctf_records.h"
#include "run/ctf_stages.h"
#include "run/quib_para.h"
#include "run/run_buffers.h"

// Grades the fitted CTF against the micrograph's spectrum (buffers.spectrum.subtracted), with the
// display buffer, free once the diagnosis image is written, as scratch.
void validate_micrograph_ctf(const MicrographFiles& files, const QUIB_Para& para, const RunGeometry& geometry,
                             const RunBuffers& buffers, const CTF_INFO& ctf);
