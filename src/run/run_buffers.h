// The buffers a run sizes once from its first micrograph and reuses for every micrograph.
#pragma once

#include <cstddef>

#include "backend/memory.h"
#include "io/mrc_header.h"

// Clamps the box sizes to the micrograph's smaller side m: a larger boxsize becomes m (and
// convsize a twelfth of it), a larger local_radius or local_boxsize becomes m. Returns 0.
int check_boxsizes(const MRC_HEAD* head, int* boxsize, int* convsize, float* local_radius, int* local_boxsize);

struct RunGeometry {
  int nx = 0, ny = 0, nz = 0;
  int box = 0;          // B, the square box of the gridded spectrum
  int half = 0;         // H = B / 2 + 1, the columns of a half spectrum
  int step = 0;         // S, pixels between neighbouring boxes
  size_t pixels = 0;    // P = nx * ny
  size_t voxels = 0;    // V = nx * ny * nz
  size_t spectrum_size() const { return static_cast<size_t>(half) * box; }
};

RunGeometry run_geometry(const MRC_HEAD* head, int boxsize, float overlap);

struct RunBuffers {
  HostBuffer<float> stack;          // every frame of a movie (allocated for movies only)
  HostBuffer<float> frame;          // the one frame of a single micrograph
  HostBuffer<float> spectrum_copy;  // host copy of the half spectrum shown in the diagnosis image
  DeviceBuffer<float> spectrum;     // background-subtracted log half spectrum of the micrograph
  DeviceBuffer<float> display;      // rotational-average or EPA image
  DeviceBuffer<float> frame_spectrum;
  DeviceBuffer<float> work_a;
  DeviceBuffer<float> work_b;
  DeviceBuffer<float> device_frame;  // one uploaded movie frame (movies only)
  DeviceBuffer<float> image;         // the micrograph, or the sum of a movie's frames
};

RunBuffers allocate_run_buffers(const RunGeometry& geometry);
