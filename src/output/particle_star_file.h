// The per-particle CTF STAR file of local refinement (stem + "_local.star"): its header, then one
// row per particle. Every write is checked; a file that cannot be made or written ends the run.
#pragma once

#include <string>

#include "core/file_ptr.h"
#include "io/star_writer.h"

struct ParticleStarFile {
  std::string path;
  FilePtr file;
};

// Creates (or truncates) the file and writes the table's header.
ParticleStarFile create_particle_star(const std::string& path);
void append_particle_star_row(ParticleStarFile& star, const ParticleStarRow& row);
// Flushes and closes the file.
void close_particle_star(ParticleStarFile& star);
