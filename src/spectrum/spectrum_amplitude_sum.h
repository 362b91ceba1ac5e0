// Adds the Fourier amplitudes of a batch of boxes at the centred positions of one half spectrum,
// each box weighted not at all, by one value, or by one centred map of its own.
#pragma once

#include <cstddef>

#include "backend/float2.h"

// Device weights indexed by box number: one value per box, or one map of n centred values per box.
// With neither, every box counts once.
struct AmplitudeWeights {
  const float* per_box = nullptr;
  const float* per_box_maps = nullptr;
};

// For boxes first_box ... first_box + count - 1, whose transforms (n half-complex values each) lie
// one after another: out[j] += w |F(i)| with j = (i + n/2) mod n. Each value of out receives the
// boxes in increasing order, so the sum does not depend on how the boxes were batched.
void add_centred_amplitudes(float* out, const float2* transforms, int count, size_t n, int first_box,
                            AmplitudeWeights weights);
