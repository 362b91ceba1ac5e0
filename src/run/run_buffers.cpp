#include "run/run_buffers.h"

#include <algorithm>
#include <cstdio>

int check_boxsizes(const MRC_HEAD* head, int* boxsize, int* convsize, float* local_radius, int* local_boxsize) {
  const int m = std::min(head->nx, head->ny);
  if (*boxsize > m) {
    // The spectra and the diagnosis image are laid out for an even box.
    const int fitting = m - m % 2;
    printf(
        "Warning: --boxsize %d is larger than the micrograph's shorter side of %d pixels; the largest even box "
        "that fits, %d pixels, is used, with --convsize %d.\n",
        *boxsize, m, fitting, fitting / 12);
    *boxsize = fitting;
    *convsize = *boxsize / 12;
  }
  if (*local_radius > m) *local_radius = static_cast<float>(m);
  if (*local_boxsize > m) *local_boxsize = m - m % 2;
  return 0;
}

RunGeometry run_geometry(const MRC_HEAD* head, int boxsize, float overlap) {
  RunGeometry g;
  g.nx = head->nx;
  g.ny = head->ny;
  g.nz = head->nz;
  g.box = boxsize;
  g.half = boxsize / 2 + 1;
  g.step = static_cast<int>((1.0 - static_cast<double>(overlap)) * boxsize);
  g.pixels = static_cast<size_t>(g.nx) * g.ny;
  g.voxels = g.pixels * g.nz;
  return g;
}

RunBuffers allocate_run_buffers(const RunGeometry& g) {
  RunBuffers b;
  const bool movie = g.nz > 1;
  const size_t n = g.spectrum_size();
  b.stack = HostBuffer<float>(movie ? g.voxels : 0);
  b.frame = HostBuffer<float>(g.pixels);
  b.device_frame = DeviceBuffer<float>(movie ? g.pixels : 0);
  b.image = DeviceBuffer<float>(g.pixels);
  b.frame_spectrum = DeviceBuffer<float>(n);
  b.spectrum.subtracted = DeviceBuffer<float>(n);
  b.spectrum.log_amplitude = DeviceBuffer<float>(n);
  b.spectrum.host = HostBuffer<float>(n);
  b.fitted = DeviceBuffer<float>(n);
  b.display = DeviceBuffer<float>(n);
  return b;
}
