#include "spectrum/spectrum_grid.h"

#include <cstddef>
#include <cstring>

#include "arrays/array_fill.h"
#include "arrays/array_ops_1d.h"
#include "backend/fft_pass_plans.h"
#include "backend/launch.h"
#include "core/report.h"
#include "spectrum/spectrum_amplitude_sum.h"
#include "spectrum/spectrum_background.h"
#include "spectrum/spectrum_batches.h"
#include "spectrum/spectrum_grid_strips.h"

namespace {

void check_box_grid(int nx, int ny, int bx, int by, int step) {
  if (bx < 1 || by < 1 || step < 1) QUIB_FATAL("cuda_fft", "Box size and grid step must be positive");
  if (nx < bx || ny < by) QUIB_FATAL("cuda_fft", "The image is smaller than one box");
}

}  // namespace

void add_grid_amplitudes_by_boxes(float* out, const float* image, int nx, int ny, int bx, int by, int step) {
  const int across = grid_box_count(nx, bx, step), total = across * grid_box_count(ny, by, step);
  const size_t n = static_cast<size_t>(bx / 2 + 1) * by;
  for_each_transform_batch(
      bx, by, total, true,
      [=](int first, int count, float* boxes) {
        cut_grid_boxes(image, nx, bx, by, step, across, nullptr, first, count, boxes);
        return boxes;
      },
      [=](int first, int count, const float2* transforms) {
        add_centred_amplitudes(out, transforms, count, n, first, AmplitudeWeights());
      });
}

int grid_box_count(int size, int box, int step) { return (size - box) / step + 1; }

void cut_grid_boxes(const float* image, int nx, int bx, int by, int step, int boxes_across, const int* numbers,
                    int first, int count, float* boxes) {
  // Each launch index copies a run of consecutive pixels of one box row, which the CPU backend
  // moves in vector registers.
  constexpr int kRun = 8;
  launch_2d((bx + kRun - 1) / kRun, count * by, [=] QUIB_HD(int run, int row) {
    const int k = row / by, r = row - k * by;
    const int box = numbers ? numbers[first + k] : first + k, j = box / boxes_across, i = box - j * boxes_across;
    float* out = boxes + static_cast<size_t>(row) * bx;
    const float* in = image + (static_cast<size_t>(j) * step + r) * nx + static_cast<size_t>(i) * step;
    const int x = run * kRun;
    if (x + kRun <= bx) {
      memcpy(out + x, in + x, kRun * sizeof(float));
      return;
    }
    for (int xm = x; xm < bx; ++xm) out[xm] = in[xm];
  });
}

void hcuda_2d_gridfft_r2c_amp_ave(const float* image, float* out, int nx, int ny, int bx, int by, int step, int) {
  check_box_grid(nx, ny, bx, by, step);
  hcuda_empty_float(out, static_cast<size_t>(bx / 2 + 1) * by);
  if (fft_passes_wanted())
    add_grid_amplitudes_by_strips(out, image, nx, ny, bx, by, step);
  else
    add_grid_amplitudes_by_boxes(out, image, nx, ny, bx, by, step);
}

void hcuda_2d_gridfft_r2c_amp_ave_log_subbg(const float* image, float* out, int nx, int ny, int bx, int by, int step,
                                            int convsize) {
  hcuda_2d_gridfft_r2c_amp_ave(image, out, nx, ny, bx, by, step, convsize);
  hcuda_2d_fft_amp_log_subbg_inplace(out, bx, by, convsize);
}

void hcuda_2d_gridfft_r2c_amp_ave_log_subbg2(const float* image, float* out, float* out_log, int nx, int ny, int bx,
                                             int by, int step, int convsize) {
  hcuda_2d_gridfft_r2c_amp_ave(image, out_log, nx, ny, bx, by, step, convsize);
  hcuda_logf_inplace(out_log, static_cast<size_t>(bx / 2 + 1) * by);
  hcuda_2d_fft_amp_subbg(out, out_log, bx, by, convsize);
}
