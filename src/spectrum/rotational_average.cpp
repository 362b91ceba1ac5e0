#include "spectrum/rotational_average.h"

#include <cmath>
#include <vector>

int rotational_average_2d_half(const float* half, float* out, int width, int height) {
  if (width <= 0) return 0;
  std::vector<float> weight_sum(width, 0.0f);
  for (int i = 0; i < width; ++i) out[i] = 0.0f;
  for (int y = 0; y < height; ++y) {
    const int dy = y - height / 2;
    for (int x = 0; x < width; ++x) {
      const float r = static_cast<float>(std::sqrt(static_cast<double>(x * x + dy * dy)));
      const int i = static_cast<int>(r);
      if (i >= width) continue;
      const float f = r - i, value = half[static_cast<size_t>(y) * width + x];
      weight_sum[i] += 1.0f - f;
      out[i] += value * (1.0f - f);
      if (i + 1 < width) {
        weight_sum[i + 1] += f;
        out[i + 1] += value * f;
      }
    }
  }
  for (int i = 0; i < width; ++i) out[i] /= weight_sum[i];
  return 0;
}
