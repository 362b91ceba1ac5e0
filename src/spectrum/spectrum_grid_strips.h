// The summed box amplitudes of a gridded spectrum from shared row transforms: the boxes of one grid
// column cover the same image columns, so each image row is transformed once per grid column (into
// a strip of half-complex rows) and every box of that column only adds the transforms along its
// columns. Boxes that overlap vertically thereby share their row transforms, and no box is copied.
#pragma once

// out += the amplitudes of every box of the grid (spectrum_grid.h), taken column of boxes by column
// of boxes, top to bottom in each; the image and out are on the device.
void add_grid_amplitudes_by_strips(float* out, const float* image, int nx, int ny, int bx, int by, int step);
