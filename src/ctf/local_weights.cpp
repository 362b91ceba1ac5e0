#include "ctf/local_weights.h"

#include <cmath>

float local_distance_weight(float distance, float radius) {
  return expf(-(distance * distance) / (2.0f * radius * radius));
}

// The exponent is -k (x^2 + (y - ny/2)^2) with k = (r_w d / (4 R (nh - 1) apix))^2, so the weight
// separates into a column and a row factor.
void local_frequency_weight_factors(float* columns, float* rows, float distance, float radius, int nh, int ny,
                                    float apix, float resolution) {
  const double root_k = static_cast<double>(resolution) * distance / (4.0 * radius * (nh - 1) * apix);
  const double k = root_k * root_k;
  for (int x = 0; x < nh; ++x) columns[x] = static_cast<float>(std::exp(-k * x * x));
  for (int y = 0; y < ny; ++y) {
    const double dy = y - ny / 2;
    rows[y] = static_cast<float>(std::exp(-k * dy * dy));
  }
}
