// Amplitude spectra kept one per box: the centred half spectra of chosen boxes of an image's box
// grid (spectrum_grid.h), and weighted sums of such spectra. Computing each box's spectrum once lets
// many overlapping neighbourhoods share it. All arrays are on the device unless said otherwise.
#pragma once

#include <vector>

// out = one centred amplitude spectrum |F| of (bx/2 + 1) x by values per listed grid box (host list
// of row-major box numbers), in list order: box k at out + k (bx/2 + 1) by. The boxes are those of
// a grid with `step` and `boxes_across` boxes per row on the nx-wide image.
void hcuda_grid_box_spectra(float* out, const float* image, int nx, int bx, int by, int step, int boxes_across,
                            const std::vector<int>& boxes);

// How the spectra of a sum are weighted: with no array each counts once; per_box[k] weighs the
// k-th spectrum of the sum; columns and rows give the k-th a weight per position, columns[k nh + x]
// rows[k ny + y] at column x and row y.
struct BoxSpectrumWeights {
  const float* per_box = nullptr;
  const float* columns = nullptr;
  const float* rows = nullptr;
};

// out (nh x ny) = the sum over k < count of weight_k spectra[slots[k]], each position adding the
// spectra in increasing k, as the stack sums of spectrum_stack.h do. slots is a device array.
void hcuda_sum_box_spectra(float* out, const float* spectra, const int* slots, int count, int nh, int ny,
                           BoxSpectrumWeights weights);
