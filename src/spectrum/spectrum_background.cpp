#include "spectrum/spectrum_background.h"

#include <cstddef>

#include "arrays/array_ops_1d.h"
#include "backend/launch.h"
#include "backend/workspace.h"
#include "spectrum/box_mean.h"
#include "spectrum/spectrum_layout.h"

namespace {

struct FullLayoutAndMean {};

}  // namespace

void hcuda_2d_fft_amp_subbg(float* out, const float* in, int bx, int by, int convsize) {
  check_full_layout_size(bx, by);
  const size_t full_size = static_cast<size_t>(bx) * by;
  float* full = workspace().scratch<FullLayoutAndMean, float>(2 * full_size);
  float* mean = full + full_size;
  hcuda_2d_fft_amp_half2full(full, in, bx, by);
  hcuda_2d_convolution_by_box(full, mean, bx, by, convsize, convsize);
  // Half-spectrum pixel (x, y) is full-layout pixel (x + bx/2 - 1, y): subtracting there and
  // converting back is the same as subtracting from the input directly.
  const int nh = bx / 2 + 1, shift = bx / 2 - 1;
  launch_2d(nh, by, [=] QUIB_HD(int x, int y) {
    const size_t i = static_cast<size_t>(y) * nh + x;
    out[i] = in[i] - mean[static_cast<size_t>(y) * bx + x + shift];
  });
}

void hcuda_2d_fft_amp_subbg_inplace(float* spectrum, int bx, int by, int convsize) {
  hcuda_2d_fft_amp_subbg(spectrum, spectrum, bx, by, convsize);
}

void hcuda_2d_fft_amp_log_subbg_inplace(float* spectrum, int bx, int by, int convsize) {
  check_full_layout_size(bx, by);
  hcuda_logf_inplace(spectrum, static_cast<size_t>(bx / 2 + 1) * by);
  hcuda_2d_fft_amp_subbg_inplace(spectrum, bx, by, convsize);
}
