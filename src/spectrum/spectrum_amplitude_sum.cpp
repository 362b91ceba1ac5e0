#include "spectrum/spectrum_amplitude_sum.h"

#include "backend/launch.h"
#include "spectrum/spectrum_kernels.h"

namespace {

// Each launch index handles this many consecutive centred positions, so that the CPU backend can
// take their square roots together in vector registers.
constexpr int kGroup = 8;

// Adds the batch to the `width` consecutive centred positions from j, whose transform values start
// at i. weight(k, j): the weight of the k-th transform at centred position j.
template <int width, class Weight>
QUIB_HD inline void add_run(float* out, const float2* transforms, int count, size_t n, size_t j, size_t i,
                            Weight weight) {
  float sum[width];
  for (int m = 0; m < width; ++m) sum[m] = out[j + m];
  for (int k = 0; k < count; ++k) {
    const float2* value = transforms + k * n + i;
    for (int m = 0; m < width; ++m) sum[m] = sum[m] + complex_amplitude(value[m]) * weight(k, j + m);
  }
  for (int m = 0; m < width; ++m) out[j + m] = sum[m];
}

template <class Weight>
void add_weighted_amplitudes(float* out, const float2* transforms, int count, size_t n, Weight weight) {
  launch_1d((n + kGroup - 1) / kGroup, [=] QUIB_HD(size_t group) {
    const size_t j = group * kGroup, i = uncentred_index(j, n);
    // A whole group whose transform values are consecutive too (it does not cross the wrap).
    if (j + kGroup <= n && uncentred_index(j + kGroup - 1, n) == i + kGroup - 1) {
      add_run<kGroup>(out, transforms, count, n, j, i, weight);
      return;
    }
    for (size_t jm = j; jm < n && jm < j + kGroup; ++jm)
      add_run<1>(out, transforms, count, n, jm, uncentred_index(jm, n), weight);
  });
}

}  // namespace

void add_centred_amplitudes(float* out, const float2* transforms, int count, size_t n, int first_box,
                            AmplitudeWeights weights) {
  if (weights.per_box) {
    const float* per_box = weights.per_box + first_box;
    add_weighted_amplitudes(out, transforms, count, n, [=] QUIB_HD(int k, size_t) { return per_box[k]; });
  } else if (weights.per_box_maps) {
    const float* maps = weights.per_box_maps + first_box * n;
    add_weighted_amplitudes(out, transforms, count, n, [=] QUIB_HD(int k, size_t j) { return maps[k * n + j]; });
  } else {
    add_weighted_amplitudes(out, transforms, count, n, [] QUIB_HD(int, size_t) { return 1.0f; });
  }
}
