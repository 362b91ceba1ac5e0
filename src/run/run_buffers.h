// The buffers a run sizes once from its first micrograph and reuses for every micrograph.
#pragma once

#include <cstddef>

#include "backend/memory.h"
#include "io/mrc_header.h"

// Clamps the box sizes to the micrograph's smaller side m: a larger boxsize becomes the largest
// even size within m (and convsize a twelfth of it), with a warning; a larger local_radius becomes
// m, a larger local_boxsize the largest even size within m. Returns 0.
int check_boxsizes(const MRC_HEAD* head, int* boxsize, int* convsize, float* local_radius, int* local_boxsize);

struct RunGeometry {
  int nx = 0, ny = 0, nz = 0;
  int box = 0;        // B, the square box of the gridded spectrum
  int half = 0;       // H = B / 2 + 1, the columns of a half spectrum
  int step = 0;       // S, pixels between neighbouring boxes
  size_t pixels = 0;  // P = nx * ny
  size_t voxels = 0;  // V = nx * ny * nz
  size_t spectrum_size() const { return static_cast<size_t>(half) * box; }
};

RunGeometry run_geometry(const MRC_HEAD* head, int boxsize, float overlap);

// The half spectra of the current micrograph (H x B values each).
struct MicrographSpectrum {
  DeviceBuffer<float> subtracted;     // Ln|F| less its smooth background: what the fits read
  DeviceBuffer<float> log_amplitude;  // Ln|F| before the background subtraction: the B-factor reads it
  // The host copy of `subtracted`: checked for usability, searched by the 1D search (its zero
  // frequency cleared), then replaced by the displayed spectrum and scaled for the diagnosis image.
  HostBuffer<float> host;
};

struct RunBuffers {
  HostBuffer<float> stack;             // every frame of a movie (allocated for movies only)
  HostBuffer<float> frame;             // the one frame of a single micrograph
  DeviceBuffer<float> device_frame;    // one uploaded movie frame (movies only)
  DeviceBuffer<float> image;           // the micrograph, or the sum of a movie's frames
  DeviceBuffer<float> frame_spectrum;  // one frame's summed box amplitudes (incoherent movie average)
  MicrographSpectrum spectrum;
  DeviceBuffer<float> fitted;   // the refinement's scratch; it ends holding the fitted CTF^2 E
  DeviceBuffer<float> display;  // the rotational-average or EPA image shown in place of the spectrum
  HostBuffer<float> gain;       // the gain reference (nx * ny) every frame is multiplied by; empty without one
};

RunBuffers allocate_run_buffers(const RunGeometry& geometry);
