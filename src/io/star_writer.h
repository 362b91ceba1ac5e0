// Writing STAR tables: a header of labels, and the per-particle CTF table of local refinement.
#pragma once

#include <cstdio>

#include "core/ctf_records.h"

// Rewinds the stream and writes an empty line, "data_", an empty line, "loop_", then each label
// followed by " #" and its 1-based column number, one per line. 0.
int star_write_labels(FILE* stream, const char* const* labels, int count);

// The header of the per-particle CTF table (14 columns). 0.
int particle_star_write_head(FILE* stream);
// One particle's row: its micrograph and centre, its CTF model, the run's optics (voltage, Cs,
// amplitude contrast), the magnification and detector pixel size, and two figures of merit.
struct ParticleStarRow {
  const char* micrograph;
  int x;
  int y;
  CtfModel model;
  Optics optics;
  float magnification;
  float detector_pixel_size;
  float figure_of_merit;
  float autopick_figure_of_merit;
};
// Writes the row; the values go out in the table's column order. 0.
int particle_star_write_oneline(FILE* stream, const ParticleStarRow& row);
