#include "arrays/image_binning.h"

#include <cstddef>

#include "backend/launch.h"
#include "core/report.h"

const char* binning_problem(int nx, int ny, int k) {
  if (k < 1) return "the binning factor must be at least 1";
  if (k > nx || k > ny) return "the binning factor must not exceed the image size";
  return nullptr;
}

void hcuda_2ds_meanshrink(const float* in, float* out, int nx, int ny, int nz, int k) {
  if (const char* problem = binning_problem(nx, ny, k)) QUIB_FATAL("image_binning", problem);
  const int bx = nx / k;
  const int by = ny / k;
  const float block = static_cast<float>(k) * k;
  // One row of the launch per output row of every image, so sizes past 2^31 pixels stay indexed.
  launch_2d(bx, by * nz, [=] QUIB_HD(int x, int row) {
    const size_t z = static_cast<size_t>(row / by);
    const int y = row % by;
    const float* source = in + z * nx * ny;
    float sum = 0.0f;
    for (int j = 0; j < k; ++j) {
      const float* line = source + static_cast<size_t>(y * k + j) * nx + static_cast<size_t>(x) * k;
      for (int i = 0; i < k; ++i) sum += line[i];
    }
    out[(z * by + y) * bx + x] = sum / block;
  });
}
