// The grid of boxes that local refinement cuts from a micrograph, and each particle's neighbourhood
// on it. All particles share one grid, so the spectrum of every grid box is computed once per
// micrograph and reused by every particle whose neighbourhood holds it.
#pragma once

#include <vector>

// Square boxes of `box` pixels at corners (i step, j step), i < across, j < down: every box that
// fits inside the nx x ny micrograph. Box number j across + i (row-major).
struct LocalGrid {
  int nx;
  int ny;
  int box;
  int step;
  int across;
  int down;
};

// The grid for the box and step (both at least 1); no boxes when the micrograph is smaller than one.
LocalGrid local_grid(int nx, int ny, int box, int step);

int local_grid_box_total(const LocalGrid& grid);

// A grid box near a particle and the distance of its centre from the particle, pixels.
struct NeighbourBox {
  int box;
  float distance;
};

// The grid boxes whose centres lie within `radius` of pixel (x, y) (distance <= radius), in
// increasing box number.
std::vector<NeighbourBox> local_neighbourhood(const LocalGrid& grid, int x, int y, float radius);
