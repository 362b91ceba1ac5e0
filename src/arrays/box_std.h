// The spread of a device image over square windows: each pixel becomes the standard deviation
// sqrt(sum (in - m)^2 / count) of the pixels of its window (arrays/window_sums.h), m their mean and
// count their number. A window holding an infinite or NaN value gives NaN.
#pragma once

// Why a kx x ky window cannot be used on nx x ny images (below 1 or larger than a side), or null.
const char* box_window_problem(int nx, int ny, int kx, int ky);

// out (nx x ny) = the window standard deviation of in; both on the device, out must not be in. A
// window that box_window_problem refuses ends the program.
void hcuda_2d_std_by_box(const float* in, float* out, int nx, int ny, int kx, int ky);
