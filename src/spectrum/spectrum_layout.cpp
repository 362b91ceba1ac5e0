#include "spectrum/spectrum_layout.h"

#include <cstddef>

#include "backend/launch.h"
#include "core/report.h"

namespace {

template <class Exchange>
void swap_quadrants_inplace(float* data, int nx, int ny, Exchange exchange) {
  launch_2d(nx, ny / 2, [=] QUIB_HD(int x, int y) {
    const int xs = (x + nx / 2) % nx;
    exchange(data[static_cast<size_t>(y) * nx + x], data[static_cast<size_t>(y + ny / 2) * nx + xs]);
  });
}

}  // namespace

void check_full_layout_size(int nx, int ny) {
  if (nx < 2 || ny < 1) QUIB_FATAL("cuda_fft", "A spectrum needs at least 2 columns and 1 row");
}

void hcuda_2d_fft_amp_half2full(float* out, const float* in, int nx, int ny) {
  check_full_layout_size(nx, ny);
  const int nh = nx / 2 + 1;
  launch_2d(nx, ny, [=] QUIB_HD(int c, int y) {
    int hx, hy;
    full_layout_source(c, y, nx, ny, hx, hy);
    out[static_cast<size_t>(y) * nx + c] = in[static_cast<size_t>(hy) * nh + hx];
  });
}

void hcuda_2d_fft_amp_full2half(float* out, const float* in, int nx, int ny) {
  check_full_layout_size(nx, ny);
  const int nh = nx / 2 + 1, shift = nx / 2 - 1;
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) {
    out[static_cast<size_t>(y) * nh + x] = in[static_cast<size_t>(y) * nx + x + shift];
  });
}

void hcuda_2d_swap_ccf(const float* in, float* out, int nx, int ny) {
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) {
    const int xs = (x + nx / 2) % nx, ys = (y + ny / 2) % ny;
    out[static_cast<size_t>(ys) * nx + xs] = in[static_cast<size_t>(y) * nx + x];
  });
}

void hcuda_2d_swap_ccf_inplace(float* data, int nx, int ny) {
  swap_quadrants_inplace(data, nx, ny, [] QUIB_HD(float& a, float& b) {
    const float t = a;
    a = b;
    b = t;
  });
}

void hcuda_2d_swap_norm_ccf_inplace(float* data, int nx, int ny, float k) {
  swap_quadrants_inplace(data, nx, ny, [=] QUIB_HD(float& a, float& b) {
    const float t = a;
    a = b / k;
    b = t / k;
  });
}
