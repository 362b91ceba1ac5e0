// The highest separate peaks of a curve, such as the correlation scores of a defocus scan.
// A mask holds one int per element, non-zero for the elements still candidates.
#pragma once

#include <cstddef>

// Indices of the `count` highest separate peaks, highest first. After each peak its whole hill
// (the elements falling away from it on both sides) stops being a candidate; positions left
// when no candidate remains, or beyond n, receive n.
void peak_indices(const float* data, size_t n, size_t* indices, size_t count);
// Index of the first largest candidate, or n when no candidate is left.
size_t peak_index_masked(const float* data, const int* mask, size_t n);
// Removes the peak and the slopes falling strictly away from it on both sides from the
// candidates; a plateau stops the walk. A peak index of n or more changes nothing.
void peak_make_mask(const float* data, int* mask, size_t n, size_t peak);
