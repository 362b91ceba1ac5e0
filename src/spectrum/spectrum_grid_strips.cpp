#include "spectrum/spectrum_grid_strips.h"

#include <algorithm>
#include <cstddef>

#include "backend/fft_pass_plans.h"
#include "backend/fft_plan.h"
#include "backend/workspace.h"
#include "spectrum/spectrum_amplitude_sum.h"
#include "spectrum/spectrum_grid.h"

namespace {

struct StripRows {};
struct StripBoxes {};

}  // namespace

void add_grid_amplitudes_by_strips(float* out, const float* image, int nx, int ny, int bx, int by, int step) {
  const int across = grid_box_count(nx, bx, step), down = grid_box_count(ny, by, step);
  const int half = bx / 2 + 1, rows = (down - 1) * step + by;
  const size_t n = static_cast<size_t>(half) * by, box_distance = static_cast<size_t>(step) * half;
  const int batch = std::max(1, std::min(down, fft_batch_boxes_wanted()));
  float2* strip = workspace().scratch<StripRows, float2>(static_cast<size_t>(rows) * half);
  float2* transforms = workspace().scratch<StripBoxes, float2>(batch * n);
  const FftRowsPlan& row_pass = fft_rows_plan(bx, rows, nx, half);
  const FftColumnsPlan& column_pass = fft_columns_plan(by, half, half, half);
  for (int i = 0; i < across; ++i) {
    if (row_pass.forward(image + static_cast<size_t>(i) * step, strip) != 0) return;
    for (int first = 0; first < down; first += batch) {
      const int count = std::min(batch, down - first);
      if (column_pass.forward(strip + first * box_distance, box_distance, transforms, n, count) != 0) return;
      add_centred_amplitudes(out, transforms, count, n, 0, AmplitudeWeights());
    }
  }
}
