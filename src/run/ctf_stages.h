// The determination stages of one micrograph, from its spectrum to its STAR row: search and
// refinement, resolution limit and B-factor, display spectrum, diagnosis image, STAR row.
#pragma once

#include <cstdio>
#include <string>

#include "output/results_star.h"
#include "run/quib_para.h"
#include "run/run_buffers.h"

struct MicrographFiles {
  int index;            // position in the run's list
  const char* name;     // the micrograph
  const char* ctfname;  // its diagnosis image
  FILE* log;            // its log
};

// Writes the line, with the name in it, to the log and to standard output.
void put_log_line(FILE* log, const char* format, const char* name);

// Whether the spectrum can be fitted: every value finite and not all equal (a blank, constant or
// damaged micrograph gives none). Leaves the host copy in spectrum.host.
bool has_usable_spectrum(const RunGeometry& geometry, MicrographSpectrum& spectrum);

// Results of failed device work are undefined: when the device failed, the run ends with the
// first failure's fatal line.
void end_run_on_device_failure();

// Runs the stages on buffers.spectrum (timed as FITTING around 1D SEARCH/2D REFINE, then the
// untimed EPA, display and diagnosis image, and the VALIDATION and later stage times), appends the
// STAR row when star is given, then refines the windows of a movie (--do_mdef_refine), its
// particles (--do_local_refine) and writes the phase-flipped micrograph (--do_phase_flip); a row
// that cannot be written ends the run. Returns "" with the final CTF in *result, or why the
// micrograph has no result (a fit without a usable defocus).
std::string determine_ctf(const MicrographFiles& files, const QUIB_Para& para, const RunGeometry& geometry,
                          RunBuffers& buffers, ResultsStar* star, CTF_INFO* result);
