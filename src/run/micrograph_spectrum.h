// Reading one micrograph (a single image or a movie) into the run's buffers and turning it into
// its half spectra.
#pragma once

#include <cstdio>

#include "io/mrc_header.h"
#include "run/quib_para.h"
#include "run/run_buffers.h"

// Reads the pixels (timed as READING) and builds buffers.spectrum (timed as FFT): Ln|F| of the
// gridded boxes and the same less its background. buffers.image ends holding the micrograph, or
// the sum of a movie's frames. Returns 0, or -1 (after a warning) when the header's section count is
// below 1 or the pixels cannot be read.
int read_micrograph_spectrum(FILE* micrograph, const MRC_HEAD* head, const QUIB_Para& para, const RunGeometry& geometry,
                             RunBuffers& buffers);
