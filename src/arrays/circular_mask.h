// Soft circular masks on nx x ny device images: 1 within radius R of the centre, a Gaussian of
// sigma w/3 in the distance beyond R up to R + w, and 0 further out (w = 0: a sharp disk). The
// squared distances are formed in float.
#pragma once

#include <cmath>

#include "core/hd.h"

QUIB_HD inline float soft_mask_value(float dx, float dy, float radius, float width) {
  const float d2 = dx * dx + dy * dy;
  if (d2 <= radius * radius) return 1.0f;
  const float outer = radius + width;
  if (d2 > outer * outer) return 0.0f;
  const float beyond = sqrtf(d2) - radius;
  return expf(-4.5f * beyond * beyond / (width * width));
}

// Why a mask of this radius and edge width cannot be made (a negative or non-finite size), or null.
const char* circular_mask_problem(float radius, float width);

// The mask centred at (cx, cy).
void hcuda_2d_generate_rmask_soft(float* mask, int nx, int ny, float cx, float cy, float radius, float width);
// The mask centred at ((nx - 1) / 2, (ny - 1) / 2), the middle of the image.
void hcuda_2d_generate_central_rmask(float* mask, int nx, int ny, float radius, float width);
// The mask centred at pixel (0, 0) with distances taken around the edges (x and nx - x alike), the
// kernel of a circular convolution.
void hcuda_2d_generate_wrapped_rmask(float* mask, int nx, int ny, float radius, float width);
