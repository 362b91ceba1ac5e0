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

// The terms of several weighted sums, one after another: sum s adds terms first[s] ...
// first[s + 1] - 1, term t being spectrum slots[t] with its weight. With no weight array every term
// counts once; per_box[t] weighs term t; columns and rows give it a weight per position,
// columns[t nh + x] rows[t ny + y] at column x and row y.
struct BoxSpectrumTerms {
  const int* first;
  const int* slots;
  const float* per_box = nullptr;
  const float* columns = nullptr;
  const float* rows = nullptr;
};

// out + s nh ny (nh x ny values) = sum s of the terms, for s < sums; each position adds its terms in
// order, as the stack sums of spectrum_stack.h add their images. The sums are formed together, a
// few positions at a time, so that spectra shared by several sums are read once from memory.
void hcuda_sum_box_spectra(float* out, const float* spectra, int sums, int nh, int ny, BoxSpectrumTerms terms);
