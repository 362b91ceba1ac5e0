// Sums over square windows of a device image by summed-area tables in double precision: four
// look-ups per pixel whatever the window. The window of pixel (x, y) for a size k covers columns
// x - k/2 ... x + k/2 - 1 and rows likewise (halves rounded toward zero), cut to the image; a size
// below 2 is the pixel itself. Include only from sources that contain kernels.
#pragma once

#include <cstddef>

#include "backend/launch.h"
#include "backend/memory.h"

// Fills the (nx + 1) x (ny + 1) table: T(x, y) is the sum of value(i) over the pixels i = v nx + u
// with u < x and v < y.
template <class Value>
void build_summed_area_table(double* table, int nx, int ny, Value value) {
  const size_t stride = static_cast<size_t>(nx) + 1;
  hcuda_empty(table, stride * sizeof(double));
  // Row prefix sums, one row per thread; then the column sums, one column per thread.
  launch_1d(static_cast<size_t>(ny), [=] QUIB_HD(size_t y) {
    double* row = table + (y + 1) * stride;
    double run = 0.0;
    row[0] = 0.0;
    for (int x = 0; x < nx; ++x) {
      run += value(y * nx + x);
      row[x + 1] = run;
    }
  });
  launch_1d(stride, [=] QUIB_HD(size_t x) {
    double run = 0.0;
    for (int y = 1; y <= ny; ++y) {
      run += table[y * stride + x];
      table[y * stride + x] = run;
    }
  });
}

// One side of the window of pixel p: [first, last) cut to [0, size).
QUIB_HD inline void box_window_side(int p, int half, int size, int& first, int& last) {
  if (half < 1) {
    first = p;
    last = p + 1;
    return;
  }
  first = p - half > 0 ? p - half : 0;
  last = p + half < size ? p + half : size;
}

struct BoxWindow {
  size_t x0, x1, y0, y1;
  int count;
};

// The window of pixel (x, y) for the halves hx = kx / 2 and hy = ky / 2.
QUIB_HD inline BoxWindow box_window_of(int x, int y, int nx, int ny, int hx, int hy) {
  int x0, x1, y0, y1;
  box_window_side(x, hx, nx, x0, x1);
  box_window_side(y, hy, ny, y0, y1);
  return BoxWindow{size_t(x0), size_t(x1), size_t(y0), size_t(y1), (x1 - x0) * (y1 - y0)};
}

// The sum over the window from a table of row length stride = nx + 1.
QUIB_HD inline double box_window_sum(const double* table, size_t stride, const BoxWindow& w) {
  return ((table[w.y1 * stride + w.x1] - table[w.y1 * stride + w.x0]) - table[w.y0 * stride + w.x1]) +
         table[w.y0 * stride + w.x0];
}
