// float2: one complex single-precision value, real part (x) first, imaginary part (y) second.
#pragma once

#if QUIB_CUDA
#include <vector_types.h>
#else
struct float2 {
  float x;
  float y;
};
#endif
