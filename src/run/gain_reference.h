// The gain reference of --gain: one image, MRC or TIFF, that every frame of every micrograph is
// multiplied by before anything else is done with it. It is read and checked once, before any
// micrograph is processed.
#pragma once

#include <cstddef>

#include "backend/memory.h"

struct GainReference {
  int nx = 0, ny = 0;
  HostBuffer<float> values;  // nx * ny
};

// Reads the gain reference at path. Ends the run (status 1) with a message naming the file when it
// cannot be opened or read, holds more than one image, or holds a value that is not finite.
GainReference load_gain_reference(const char* path);

// Ends the run (status 1) with a message unless the gain has the size nx x ny of the run's first
// micrograph.
void check_gain_size(const GainReference& gain, const char* path, int nx, int ny, const char* first_micrograph);

// Multiplies each of `frames` consecutive images of `pixels` values by the gain (`pixels` values).
void apply_gain(const float* gain, size_t pixels, float* images, int frames);
