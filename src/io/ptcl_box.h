// Particle boxes: the box record, tables of them, their centres and sizes, and listing them.
#pragma once

#include <climits>
#include <cstdio>

#include "core/ptcl_box_record.h"

// How many neighbour boxes auto_generate_neighbor_boxes (ptcl_box_neighbors.h) makes for the
// radius and grid step, counted up to PTCL_BOX_CAPACITY + 1: a larger answer means they do not
// fit a table. 0 for a step below 1.
int count_neighbor_boxes(float radius, int step);

// A pixel position worked out in 64 bits, held to the range of int.
inline int clamp_to_int(long long value) {
  return static_cast<int>(value > INT_MAX ? INT_MAX : (value < INT_MIN ? INT_MIN : value));
}

// A box with every field zero.
PTCL_BOX one_new_ptcl_box();
// Zeroes the first n boxes, at most PTCL_BOX_CAPACITY (more is refused with a warning). 0.
int empty_all_ptcl_boxes(PTCL_BOX* boxes, int n);

// The box's centre: (x + width / 2, y + height / 2), divisions truncating toward zero.
void ptcl_box_centre(const PTCL_BOX& box, int& cx, int& cy);
// Gives each of n boxes the width and height size around the same centre. 0.
int resize_ptcl_boxes(PTCL_BOX* boxes, int n, int size);

// Box file formats by name.
enum BoxFileFormat { BOXF_UNKNOWN = 0, BOXF_STAR = 1, BOXF_EMAN = 2 };
// BOXF_STAR when the name ends in ".star", BOXF_EMAN when it ends in ".box", else BOXF_UNKNOWN.
int get_boxf_suffixf(const char* path);

// Lists every box with non-zero width and height, one line each (x, y, width, height, score,
// class, angle), to standard output or to a new file (which, when it cannot be made, ends the
// program). The table holds n boxes, a full table by default.
void print_all_ptcl_boxes(const PTCL_BOX* boxes, int n = PTCL_BOX_CAPACITY);
void fprint_all_ptcl_boxes(const char* path, const PTCL_BOX* boxes, int n = PTCL_BOX_CAPACITY);

// Rewinds the stream and writes the header of a coordinate STAR table: X, Y, psi, class and
// figure of merit, or X and Y only.
void output_starbox_head(FILE* stream);
void output_starbox_head_XYonly(FILE* stream);
