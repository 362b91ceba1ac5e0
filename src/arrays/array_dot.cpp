#include "arrays/array_dot.h"

#include <math.h>

#include "backend/launch.h"

void hcuda_correlation_manydata_with_data(const float* many, const float* one, float* out, size_t n, size_t m) {
  launch_1d(m, [=] QUIB_HD(size_t row) {
    const float* values = many + row * n;
    float sum = 0.0f;
    for (size_t k = 0; k < n; ++k) sum = fmaf(values[k], one[k], sum);
    out[row] = sum;
  });
}
