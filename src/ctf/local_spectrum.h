// The local spectrum of a particle: the weighted sum of the amplitude spectra of the grid boxes in
// its neighbourhood, on the log scale less its smooth background, as the fits read spectra. The
// spectrum of each grid box is computed once per micrograph and shared by every particle.
#pragma once

#include <cstddef>
#include <vector>

#include "backend/memory.h"
#include "ctf/local_grid.h"

// How the boxes of a neighbourhood are weighted (local_weights.h): the type, the radius R, and for
// frequency weights the pixel size and the resolution r_w.
struct LocalWeighting {
  int type;
  float radius;
  float apix;
  float resolution;
};

// The spectra of the grid boxes that some neighbourhood holds.
struct GridSpectra {
  LocalGrid grid;
  std::vector<int> slot;        // per grid box: its spectrum's place in `spectra`, or -1
  DeviceBuffer<float> spectra;  // centred half spectra of (box/2 + 1) x box values, one per slot
};

// The grid boxes that at least one neighbourhood holds, in increasing box number.
std::vector<int> grid_boxes_in_use(const LocalGrid& grid, const std::vector<std::vector<NeighbourBox>>& neighbourhoods);
// Device bytes that the spectra of `count` boxes take.
size_t grid_spectra_bytes(const LocalGrid& grid, size_t count);
// The amplitude spectra of the listed boxes of the micrograph (device, nx x ny).
GridSpectra grid_spectra(const float* image, const LocalGrid& grid, const std::vector<int>& boxes);

// Device and host copies of the terms of a batch of local sums (box_spectra.h), sized once.
struct LocalAverageScratch {
  DeviceBuffer<int> first;
  DeviceBuffer<int> slots;
  DeviceBuffer<float> per_box;
  DeviceBuffer<float> columns;
  DeviceBuffer<float> rows;
  std::vector<int> host_first;
  std::vector<int> host_slots;
  std::vector<float> host_per_box;
  std::vector<float> host_columns;
  std::vector<float> host_rows;
};
// Room for `sums` neighbourhoods of `terms` boxes in all, weighted as the LocalAverageType says.
LocalAverageScratch local_average_scratch(const LocalGrid& grid, int sums, size_t terms, int type);

// For s < count, spectrum s of out (box/2 + 1 x box values each) = the log of the weighted sum of the
// spectra of neighbourhoods[s] less its background over box/12 pixels; it is left undefined for an
// empty neighbourhood.
void local_average_spectra(float* out, const GridSpectra& spectra, const std::vector<NeighbourBox>* neighbourhoods,
                           int count, const LocalWeighting& weighting, LocalAverageScratch& scratch);
