// Local refinement of one micrograph (--do_local_refine): each particle of its box file refined
// against the spectrum of the grid boxes around it, one row per particle in the per-particle STAR
// file and, with --write_local_ctf, one image per particle in the diagnosis stack. A box file that
// is missing, unreadable or damaged, or a grid too large for the memory, skips the micrograph's
// local refinement with a warning; the run goes on.
#pragma once

#include "core/ctf_records.h"
#include "run/ctf_stages.h"
#include "run/quib_para.h"
#include "run/run_buffers.h"

// ctf is the micrograph's own result; buffers.image holds the micrograph.
void refine_micrograph_locally(const MicrographFiles& files, const QUIB_Para& para, const RunGeometry& geometry,
                               const RunBuffers& buffers, const CTF_INFO& ctf);
