// Reading one micrograph (a single image or a movie) into the run's buffers and turning it into
// the background-subtracted log half spectrum.
#pragma once

#include <cstdio>

#include "io/mrc_header.h"
#include "run/quib_para.h"
#include "run/run_buffers.h"
#include "run/stage_timer.h"

// Reads the pixels (timed as READING) and builds the spectrum (timed as FFT) into
// buffers.spectrum, leaving the micrograph, or the sum of a movie's frames, in buffers.image.
// buffers.work_b receives the log spectrum before background subtraction.
// Returns 0, or -1 when the header's section count is below 1 (after a warning).
int read_micrograph_spectrum(FILE* micrograph, const MRC_HEAD* head, const QUIB_Para& para,
                             const RunGeometry& geometry, RunBuffers& buffers, StageTimers& timers);
