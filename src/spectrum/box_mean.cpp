#include "spectrum/box_mean.h"

#include <math.h>

#include <cstddef>

#include "arrays/window_sums.h"
#include "backend/launch.h"
#include "backend/memory.h"
#include "backend/workspace.h"

namespace {

struct SummedAreaTable {};

// The rare case of infinities or NaN in the image: finite values are summed apart, and three more
// tables count NaN, +inf and -inf in each window.
void nonfinite_box_mean(const float* in, float* out, int nx, int ny, int hx, int hy, double* sums) {
  const size_t stride = static_cast<size_t>(nx) + 1, table_size = stride * (static_cast<size_t>(ny) + 1);
  DeviceBuffer<double> counts(3 * table_size);
  double* nan_count = counts.get();
  double* pos_count = nan_count + table_size;
  double* neg_count = pos_count + table_size;
  build_summed_area_table(sums, nx, ny, [=] QUIB_HD(size_t i) { return isfinite(in[i]) ? double(in[i]) : 0.0; });
  build_summed_area_table(nan_count, nx, ny, [=] QUIB_HD(size_t i) { return isnan(in[i]) ? 1.0 : 0.0; });
  build_summed_area_table(pos_count, nx, ny, [=] QUIB_HD(size_t i) { return isinf(in[i]) && in[i] > 0 ? 1.0 : 0.0; });
  build_summed_area_table(neg_count, nx, ny, [=] QUIB_HD(size_t i) { return isinf(in[i]) && in[i] < 0 ? 1.0 : 0.0; });
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) {
    const BoxWindow w = box_window_of(x, y, nx, ny, hx, hy);
    const bool has_nan = box_window_sum(nan_count, stride, w) > 0;
    const bool has_pos = box_window_sum(pos_count, stride, w) > 0, has_neg = box_window_sum(neg_count, stride, w) > 0;
    float mean = static_cast<float>(box_window_sum(sums, stride, w) / w.count);
    if (has_nan || (has_pos && has_neg))
      mean = NAN;
    else if (has_pos)
      mean = INFINITY;
    else if (has_neg)
      mean = -INFINITY;
    out[static_cast<size_t>(y) * nx + x] = mean;
  });
}

}  // namespace

void hcuda_2d_convolution_by_box(const float* in, float* out, int nx, int ny, int kx, int ky) {
  if (nx <= 0 || ny <= 0) return;
  const size_t stride = static_cast<size_t>(nx) + 1;
  double* sums = workspace().scratch<SummedAreaTable, double>(stride * (static_cast<size_t>(ny) + 1));
  const int hx = kx / 2, hy = ky / 2;
  build_summed_area_table(sums, nx, ny, [=] QUIB_HD(size_t i) { return double(in[i]); });
  double total;
  memcpy_D2H(&total, sums + stride * ny + nx, sizeof total);
  if (!isfinite(total)) {
    nonfinite_box_mean(in, out, nx, ny, hx, hy, sums);
    return;
  }
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) {
    const BoxWindow w = box_window_of(x, y, nx, ny, hx, hy);
    out[static_cast<size_t>(y) * nx + x] = static_cast<float>(box_window_sum(sums, stride, w) / w.count);
  });
}
