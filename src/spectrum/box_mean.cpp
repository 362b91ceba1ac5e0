#include "spectrum/box_mean.h"

#include <math.h>

#include <cstddef>

#include "backend/launch.h"
#include "backend/memory.h"
#include "backend/workspace.h"

namespace {

struct SummedAreaTable {};

// Tables have (nx + 1) x (ny + 1) entries: T(x, y) is the sum of value(u, v) over u < x, v < y.
// value(i) is the contribution of pixel i = v nx + u.
template <class Value>
void build_table(double* table, int nx, int ny, Value value) {
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
QUIB_HD inline void window_side(int p, int half, int size, int& first, int& last) {
  if (half < 1) {
    first = p;
    last = p + 1;
    return;
  }
  first = p - half > 0 ? p - half : 0;
  last = p + half < size ? p + half : size;
}

struct Window {
  size_t x0, x1, y0, y1;
  int count;
};

QUIB_HD inline Window window_of(int x, int y, int nx, int ny, int hx, int hy) {
  int x0, x1, y0, y1;
  window_side(x, hx, nx, x0, x1);
  window_side(y, hy, ny, y0, y1);
  return Window{size_t(x0), size_t(x1), size_t(y0), size_t(y1), (x1 - x0) * (y1 - y0)};
}

QUIB_HD inline double window_sum(const double* table, size_t stride, const Window& w) {
  return ((table[w.y1 * stride + w.x1] - table[w.y1 * stride + w.x0]) - table[w.y0 * stride + w.x1]) +
         table[w.y0 * stride + w.x0];
}

// The rare case of infinities or NaN in the image: finite values are summed apart, and three more
// tables count NaN, +inf and -inf in each window.
void nonfinite_box_mean(const float* in, float* out, int nx, int ny, int hx, int hy, double* sums) {
  const size_t stride = static_cast<size_t>(nx) + 1, table_size = stride * (static_cast<size_t>(ny) + 1);
  DeviceBuffer<double> counts(3 * table_size);
  double* nan_count = counts.get();
  double* pos_count = nan_count + table_size;
  double* neg_count = pos_count + table_size;
  build_table(sums, nx, ny, [=] QUIB_HD(size_t i) { return isfinite(in[i]) ? double(in[i]) : 0.0; });
  build_table(nan_count, nx, ny, [=] QUIB_HD(size_t i) { return isnan(in[i]) ? 1.0 : 0.0; });
  build_table(pos_count, nx, ny, [=] QUIB_HD(size_t i) { return isinf(in[i]) && in[i] > 0 ? 1.0 : 0.0; });
  build_table(neg_count, nx, ny, [=] QUIB_HD(size_t i) { return isinf(in[i]) && in[i] < 0 ? 1.0 : 0.0; });
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) {
    const Window w = window_of(x, y, nx, ny, hx, hy);
    const bool has_nan = window_sum(nan_count, stride, w) > 0;
    const bool has_pos = window_sum(pos_count, stride, w) > 0, has_neg = window_sum(neg_count, stride, w) > 0;
    float mean = static_cast<float>(window_sum(sums, stride, w) / w.count);
    if (has_nan || (has_pos && has_neg)) mean = NAN;
    else if (has_pos) mean = INFINITY;
    else if (has_neg) mean = -INFINITY;
    out[static_cast<size_t>(y) * nx + x] = mean;
  });
}

}  // namespace

void hcuda_2d_convolution_by_box(const float* in, float* out, int nx, int ny, int kx, int ky) {
  if (nx <= 0 || ny <= 0) return;
  const size_t stride = static_cast<size_t>(nx) + 1;
  double* sums = workspace().scratch<SummedAreaTable, double>(stride * (static_cast<size_t>(ny) + 1));
  const int hx = kx / 2, hy = ky / 2;
  build_table(sums, nx, ny, [=] QUIB_HD(size_t i) { return double(in[i]); });
  double total;
  memcpy_D2H(&total, sums + stride * ny + nx, sizeof total);
  if (!isfinite(total)) {
    nonfinite_box_mean(in, out, nx, ny, hx, hy, sums);
    return;
  }
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) {
    const Window w = window_of(x, y, nx, ny, hx, hy);
    out[static_cast<size_t>(y) * nx + x] = static_cast<float>(window_sum(sums, stride, w) / w.count);
  });
}
