// Neighbour boxes of a particle: the boxes on a square grid within a radius of its centre, or
// the boxes of a box file, each weighted by a Gaussian of its distance from the particle.
#pragma once

#include "io/ptcl_box.h"

// The weight of a box at squared distance d2: the normal density 1/sqrt(2 pi) times a Gaussian
// of standard deviation radius / 3, 0.3989423 exp(-d2 / (radius^2 / 4.5)).
float neighbor_box_weight(float d2, float radius);

// Fills out with boxes of box_size centred on the grid points within the radius of the centre
// box's centre (count_neighbor_boxes of them): for j = 0, 1, ... and i = 0, 1, ... while
// radius > step·j and radius > step·i, each point (i, j)·step inside the disc gives the boxes at
// (+i, +j), (-i, +j), (-i, -j), (+i, -j), mirrors that coincide left out; so the centre
// particle's own box comes first. Each has its weight and distance. Returns the number made;
// more than capacity is refused with a warning after capacity boxes. A step below 1 makes none.
int auto_generate_neighbor_boxes(PTCL_BOX* out, int capacity, const PTCL_BOX* centre, float radius,
                                 int box_size, int step);

// Reads the boxes of a box file into out (read_all_ptcl_boxes), weights each by the distance of
// its centre from the centre box's centre, and re-cuts it to box_size around its own centre.
// Returns the number read.
int generate_neighbor_boxes_from_boxf(PTCL_BOX* out, int capacity, const PTCL_BOX* centre, float radius,
                                      int box_size, const char* path);
