#include "arrays/circular_mask.h"

#include <cmath>

#include "backend/launch.h"

const char* circular_mask_problem(float radius, float width) {
  if (!std::isfinite(radius) || radius < 0.0f) return "the mask radius must be 0 or more";
  if (!std::isfinite(width) || width < 0.0f) return "the mask edge width must be 0 or more";
  return nullptr;
}

void hcuda_2d_generate_rmask_soft(float* mask, int nx, int ny, float cx, float cy, float radius, float width) {
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) {
    mask[static_cast<size_t>(y) * nx + x] = soft_mask_value(x - cx, y - cy, radius, width);
  });
}

void hcuda_2d_generate_central_rmask(float* mask, int nx, int ny, float radius, float width) {
  hcuda_2d_generate_rmask_soft(mask, nx, ny, (nx - 1) / 2.0f, (ny - 1) / 2.0f, radius, width);
}

void hcuda_2d_generate_wrapped_rmask(float* mask, int nx, int ny, float radius, float width) {
  launch_2d(nx, ny, [=] QUIB_HD(int x, int y) {
    const int dx = x <= nx / 2 ? x : x - nx;
    const int dy = y <= ny / 2 ? y : y - ny;
    mask[static_cast<size_t>(y) * nx + x] = soft_mask_value(dx, dy, radius, width);
  });
}
