// Smooth random fields: standard normal values on a coarse grid of nodes, blended between nodes.
#pragma once

#include <cstdint>
#include <vector>

// nx * ny values (row-major) with a node about every `cell` pixels (cell >= 1): a whole number
// of cells spans each side and the nodes wrap around, so the field is periodic and a filter
// applied through the FFT sees no step at the image edges. Node values are normal draws of the
// stream `key`; between nodes they are blended with the smoothstep weight 3t^2 - 2t^3, so the
// field has neither kinks nor ringing.
std::vector<float> smooth_random_field(int nx, int ny, double cell, uint64_t key);
