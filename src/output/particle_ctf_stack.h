// The stack of per-particle diagnosis images of local refinement (stem + "_local.ctf"): one
// box x box float image per particle, in particle order. The header's statistics cover every image
// of the stack. Every write is checked; a file that cannot be made or written ends the run.
#pragma once

#include <string>

#include "core/file_ptr.h"
#include "io/mrc_header.h"

struct ParticleCtfStack {
  std::string path;
  FilePtr file;
  MrcHeadPtr head;
  int written = 0;
  double sum = 0.0;
};

// Creates (or truncates) the file for `count` images of box x box pixels and writes a header.
ParticleCtfStack create_particle_ctf_stack(const std::string& path, int box, int count);
// Appends the next image.
void append_particle_ctf_image(ParticleCtfStack& stack, const float* image);
// Writes the header with the statistics of all images and closes the file.
void close_particle_ctf_stack(ParticleCtfStack& stack);
