// Particle images cut from the first section of an MRC micrograph at the boxes of a box file
// (EMAN ".box" or RELION ".star"), returned as a stack or written as a mode-2 MRC stack.
#pragma once

#include "backend/memory.h"

// count images of width x height pixels, one after another.
struct ParticleStack {
  HostBuffer<float> data;
  int width = 0;
  int height = 0;
  int count = 0;
};

// Reads at most 10240 boxes, cuts those that lie inside the micrograph with
// host_2d_read_ptcls_to_2ds_from_boxes (a warning for each one left out) and returns how many
// were cut. Boxes without a size (coordinates of a STAR file) cannot be cut.
int mrcf_2d_read_ptcls_to_data_from_boxf(ParticleStack& out, const char* mrc_path, const char* box_path);

// The same, written to out_path as a mode-2 stack; with no particle cut, a warning and no file.
// Returns the number of particles.
int mrcf_2d_read_ptcls_to_mrcf_from_boxf(const char* out_path, const char* mrc_path, const char* box_path);
