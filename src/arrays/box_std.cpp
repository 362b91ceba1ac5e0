#include "arrays/box_std.h"

#include <math.h>

#include <cstddef>

#include "arrays/array_reduce.h"
#include "arrays/window_sums.h"
#include "backend/launch.h"
#include "backend/memory.h"
#include "core/report.h"

const char* box_window_problem(int nx, int ny, int kx, int ky) {
  if (kx < 1 || ky < 1) return "the window must be at least 1 pixel wide";
  if (kx > nx || ky > ny) return "the window must not exceed the image size";
  return nullptr;
}

void hcuda_2d_std_by_box(const float* in, float* out, int nx, int ny, int kx, int ky) {
  if (const char* problem = box_window_problem(nx, ny, kx, ky)) QUIB_FATAL("box_std", problem);
  const size_t pixels = static_cast<size_t>(nx) * ny;
  const size_t stride = static_cast<size_t>(nx) + 1, table_size = stride * (static_cast<size_t>(ny) + 1);
  // The spread does not change with an offset: summing the values less the image's mean keeps the
  // sum of squares close to the window's own, so subtracting the squared sum loses few digits.
  const float image_mean = hcuda_fast_mean(in, pixels);
  const double offset = isfinite(image_mean) ? image_mean : 0.0;
  DeviceBuffer<double> tables(3 * table_size);
  double* sums = tables.get();
  double* squares = sums + table_size;
  double* nonfinite = squares + table_size;
  build_summed_area_table(sums, nx, ny, [=] QUIB_HD(size_t i) { return isfinite(in[i]) ? in[i] - offset : 0.0; });
  build_summed_area_table(squares, nx, ny, [=] QUIB_HD(size_t i) {
    const double d = isfinite(in[i]) ? in[i] - offset : 0.0;
    return d * d;
  });
  build_summed_area_table(nonfinite, nx, ny, [=] QUIB_HD(size_t i) { return isfinite(in[i]) ? 0.0 : 1.0; });
  const int hx = kx / 2, hy = ky / 2;
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) {
    const BoxWindow w = box_window_of(x, y, nx, ny, hx, hy);
    const double sum = box_window_sum(sums, stride, w);
    const double variance = (box_window_sum(squares, stride, w) - sum * sum / w.count) / w.count;
    const float spread = static_cast<float>(sqrt(variance > 0.0 ? variance : 0.0));
    out[static_cast<size_t>(y) * nx + x] = box_window_sum(nonfinite, stride, w) > 0.0 ? NAN : spread;
  });
}
