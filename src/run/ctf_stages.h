// The determination stages of one micrograph, from its spectrum to its STAR row: search and
// refinement, resolution limit and B-factor, display spectrum, diagnosis image, STAR row.
#pragma once

#include <cstdio>

#include "run/quib_para.h"
#include "run/run_buffers.h"
#include "run/stage_timer.h"

struct MicrographFiles {
  int index;                // position in the run's list
  const char* name;         // the micrograph
  const char* ctfname;      // its diagnosis image
  FILE* log;                // its log
};

// Whether the spectrum in buffers.spectrum can be fitted: every value finite and not all equal
// (a blank, constant or damaged micrograph gives none). Leaves a host copy in spectrum_copy.
bool has_usable_spectrum(const RunGeometry& geometry, RunBuffers& buffers);

// Runs the stages and appends the STAR row (when star is open).
void determine_ctf(const MicrographFiles& files, const QUIB_Para& para, const RunGeometry& geometry,
                   RunBuffers& buffers, StageTimers& timers, FILE* star);
