// Writing STAR tables: a header of labels, and the per-particle CTF table of local refinement.
#pragma once

#include <cstdio>

// Rewinds the stream and writes an empty line, "data_", an empty line, "loop_", then each label
// followed by " #" and its 1-based column number, one per line. 0.
int star_write_labels(FILE* stream, const char* const* labels, int count);

// The header of the per-particle CTF table (14 columns). 0.
int particle_star_write_head(FILE* stream);
// One row of that table; the values go out in the column order, which differs from the order
// of the parameters. 0.
int particle_star_write_oneline(FILE* stream, const char* micrograph, int x, int y, float defocus_u,
                                float defocus_v, float angle, float voltage, float cs,
                                float amplitude_contrast, float magnification,
                                float detector_pixel_size, float figure_of_merit,
                                float autopick_figure_of_merit, float phase_shift);
