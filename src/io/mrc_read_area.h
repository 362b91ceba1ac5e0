// Reading boxes out of a mode-2 (float) MRC file: a sub-volume, a sub-area of the first
// section, and the grid of overlapping square boxes of the first section. A file of another
// mode ends the program. A box outside the data gives a warning and -1; a short read sets the
// output to 0 and gives a warning and -1.
#pragma once

#include <cstdio>

#include "io/mrc_head.h"

// The dx*dy*dz values whose first corner is (x0, y0, z0), value (x, y, z) of the box at
// (z*dy + y)*dx + x.
int mrc_read_sub_area(FILE* file, const MRC_HEAD* head, float* out, int x0, int y0, int z0, int dx,
                      int dy, int dz);

// The same in the first section.
int mrc_2d_read_sub_area(FILE* file, const MRC_HEAD* head, float* out, int x0, int y0, int dx,
                         int dy);

// Boxes of box*box values at a step of step pixels in x and y: (nx-box)/step+1 across and
// (ny-box)/step+1 down, stored one after another in row order, each box row by row.
int mrc_2d_read_grids(FILE* file, const MRC_HEAD* head, float* out, int box, int step);
