// The summed gridded amplitude spectra of windows of consecutive movie frames. Each frame's
// spectrum is computed once and kept while the windows that hold it pass over it (a ring of one
// window's spectra on the device); when that ring does not fit into the memory allowed, each frame
// is transformed again for every window instead. Both give the same sums bit for bit: every
// window is summed from zero, frame by frame in frame order.
#pragma once

#include <cstddef>

#include "backend/memory.h"

// A movie or particle stack in host memory: nz frames of nx x ny pixels, frame after frame.
struct MovieFrames {
  const float* pixels;
  int nx;
  int ny;
  int nz;
};

// The gridded spectrum of a frame: box x box boxes at a step of `step` pixels.
struct FrameGrid {
  int box;
  int step;
};

struct FrameSpectra {
  MovieFrames movie;
  FrameGrid grid;
  int window;          // frames per window
  bool keeps_spectra;  // false: every frame is transformed again for each window that holds it
  int transformed;     // frames transformed so far
  DeviceBuffer<float> frame;
  DeviceBuffer<float> spectra;  // the ring of `window` kept spectra, or one spectrum
};

// The bytes a ring of one window's frame spectra takes.
size_t kept_spectra_bytes(const FrameGrid& grid, int window);

// Keeps the frame spectra when their ring takes at most `memory_limit` bytes.
FrameSpectra frame_spectra(const MovieFrames& movie, const FrameGrid& grid, int window, size_t memory_limit);

// sum (box/2 + 1 columns by box rows, on the device) += the amplitude spectrum of frame f. Kept
// spectra are reused; while they are kept, frames must be asked for in windows that do not move
// back (a window's frames in order, each window starting at or after the previous one).
void add_frame_spectrum(FrameSpectra& spectra, int f, float* sum);
