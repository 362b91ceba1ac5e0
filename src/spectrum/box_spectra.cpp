#include "spectrum/box_spectra.h"

#include <cstddef>

#include "backend/launch.h"
#include "backend/memory.h"
#include "spectrum/spectrum_batches.h"
#include "spectrum/spectrum_grid.h"
#include "spectrum/spectrum_kernels.h"

namespace {

// Positions one launch index adds up, consecutive, so that the CPU backend works on them together in
// vector registers.
constexpr int kGroup = 8;

// out[s n + j + m] = sum s at the `width` positions from j.
template <int width, class Weight>
QUIB_HD inline void sum_terms(float* out, const float* spectra, size_t n, size_t s, size_t j, const int* first,
                              const int* slots, Weight weight) {
  float sum[width];
  for (int m = 0; m < width; ++m) sum[m] = 0.0f;
  for (int t = first[s]; t < first[s + 1]; ++t) {
    const float* spectrum = spectra + slots[t] * n + j;
    for (int m = 0; m < width; ++m) sum[m] = sum[m] + spectrum[m] * weight(t, j + m);
  }
  for (int m = 0; m < width; ++m) out[s * n + j + m] = sum[m];
}

template <class Weight>
void sum_spectra(float* out, const float* spectra, int sums, int nh, int ny, const int* first, const int* slots,
                 Weight weight) {
  const size_t n = static_cast<size_t>(nh) * ny, groups = (n + kGroup - 1) / kGroup;
  // Index g * sums + s: every sum at one group of positions before the next group.
  launch_1d(groups * sums, [=] QUIB_HD(size_t index) {
    const size_t group = index / sums, s = index - group * sums, j = group * kGroup;
    if (j + kGroup <= n) return sum_terms<kGroup>(out, spectra, n, s, j, first, slots, weight);
    for (size_t jm = j; jm < n; ++jm) sum_terms<1>(out, spectra, n, s, jm, first, slots, weight);
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

void hcuda_sum_box_spectra(float* out, const float* spectra, int sums, int nh, int ny, BoxSpectrumTerms terms) {
  if (sums <= 0) return;
  const int *first = terms.first, *slots = terms.slots;
  if (terms.per_box) {
    const float* per_box = terms.per_box;
    sum_spectra(out, spectra, sums, nh, ny, first, slots, [=] QUIB_HD(int t, size_t) { return per_box[t]; });
  } else if (terms.columns) {
    const float *columns = terms.columns, *rows = terms.rows;
    sum_spectra(out, spectra, sums, nh, ny, first, slots, [=] QUIB_HD(int t, size_t j) {
      const size_t y = j / nh, x = j - y * nh;
      return columns[t * nh + x] * rows[t * ny + y];
    });
  } else {
    sum_spectra(out, spectra, sums, nh, ny, first, slots, [] QUIB_HD(int, size_t) { return 1.0f; });
  }
}
