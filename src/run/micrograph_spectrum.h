// Reading one micrograph (a single image or a movie) into the run's buffers and turning it into
// its half spectra.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "io/mrc_header.h"
#include "run/quib_para.h"
#include "run/run_buffers.h"

// Puts pixels read earlier into the host buffer given (buffers.frame, or buffers.stack for a movie)
// and returns true, or returns false to have them read from the file.
using ReadPixels = std::function<bool(HostBuffer<float>& pixels)>;

// Reads the pixels of the MRC or TIFF file (timed as READING; `read_before` first offers them),
// multiplies every frame by buffers.gain when it holds a gain reference, and builds
// buffers.spectrum (timed as FFT): Ln|F| of the gridded boxes and the same less its background.
// buffers.image ends holding the micrograph, or the sum of a movie's frames. Returns "", or why the
// micrograph is skipped when the header's section count is below 1 or the pixels cannot be read.
std::string read_micrograph_spectrum(FILE* micrograph, const MRC_HEAD* head, const QUIB_Para& para,
                                     const RunGeometry& geometry, RunBuffers& buffers, const ReadPixels& read_before);
