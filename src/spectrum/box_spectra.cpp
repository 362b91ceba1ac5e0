#include "spectrum/box_spectra.h"

#include <cstddef>

#include "backend/launch.h"
#include "backend/memory.h"
#include "spectrum/spectrum_batches.h"
#include "spectrum/spectrum_grid.h"
#include "spectrum/spectrum_kernels.h"

namespace {

template <class Weight>
void sum_spectra(float* out, const float* spectra, const int* slots, int count, int nh, int ny, Weight weight) {
  const size_t n = static_cast<size_t>(nh) * ny;
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) {
    const size_t j = static_cast<size_t>(y) * nh + x;
    float sum = 0.0f;
    for (int k = 0; k < count; ++k) sum = sum + spectra[slots[k] * n + j] * weight(k, x, y);
    out[j] = sum;
  });
}

}  // namespace

void hcuda_grid_box_spectra(float* out, const float* image, int nx, int bx, int by, int step, int boxes_across,
                            const std::vector<int>& boxes) {
  check_box_size(bx, by);
  const size_t n = static_cast<size_t>(bx / 2 + 1) * by;
  const DeviceBuffer<int> numbers = device_copy_of(boxes);
  const int* number = numbers.get();
  for_each_transform_batch(
      bx, by, static_cast<int>(boxes.size()), true,
      [=](int first, int count, float* cut) {
        cut_grid_boxes(image, nx, bx, by, step, boxes_across, number, first, count, cut);
        return cut;
      },
      [=](int first, int count, const float2* transforms) {
        for (int k = 0; k < count; ++k) hcuda_complex_mod_center_swap(out + (first + k) * n, transforms + k * n, n);
      });
}

void hcuda_sum_box_spectra(float* out, const float* spectra, const int* slots, int count, int nh, int ny,
                           BoxSpectrumWeights w) {
  if (w.per_box) {
    const float* per_box = w.per_box;
    sum_spectra(out, spectra, slots, count, nh, ny, [=] QUIB_HD(int k, int, int) { return per_box[k]; });
  } else if (w.columns) {
    const float *columns = w.columns, *rows = w.rows;
    sum_spectra(out, spectra, slots, count, nh, ny,
                [=] QUIB_HD(int k, int x, int y) { return columns[k * nh + x] * rows[k * ny + y]; });
  } else {
    sum_spectra(out, spectra, slots, count, nh, ny, [] QUIB_HD(int, int, int) { return 1.0f; });
  }
}
