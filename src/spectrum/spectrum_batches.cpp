#include "spectrum/spectrum_batches.h"

#include <cstddef>

#include "backend/workspace.h"
#include "core/report.h"

namespace {

constexpr size_t kMaxBatchBytes = size_t(256) << 20;

struct BatchBoxes {};
struct BatchTransforms {};

}  // namespace

void check_box_size(int bx, int by) {
  if (bx < 1 || by < 1) QUIB_FATAL("cuda_fft", "Invalid FFT size");
}

BatchScratch batch_scratch(int bx, int by, bool with_boxes) {
  check_box_size(bx, by);
  const size_t real = static_cast<size_t>(bx) * by, half = static_cast<size_t>(bx / 2 + 1) * by;
  const size_t box_bytes = half * sizeof(float2) + (with_boxes ? real * sizeof(float) : 0);
  const size_t fitting = kMaxBatchBytes / box_bytes;
  const size_t wanted = static_cast<size_t>(fft_batch_boxes_wanted());
  const int capacity = static_cast<int>(fitting < 1 ? 1 : fitting > wanted ? wanted : fitting);
  BatchScratch scratch;
  scratch.boxes = with_boxes ? workspace().scratch<BatchBoxes, float>(capacity * real) : nullptr;
  scratch.transforms = workspace().scratch<BatchTransforms, float2>(capacity * half);
  scratch.capacity = capacity;
  return scratch;
}
