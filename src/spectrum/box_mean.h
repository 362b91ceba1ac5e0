// Square-window mean of an image (the smooth background of a log spectrum). The window of pixel
// (x, y) covers columns x - kx/2 ... x + kx/2 - 1 and rows y - ky/2 ... y + ky/2 - 1 (halves rounded
// toward zero), cut to the image; the mean divides by the number of pixels it keeps. So an even k
// spans k pixels reaching one further left than right, and an odd k one pixel fewer. A size below 2
// would leave no pixel at all: such a window is the pixel itself.
//
// The sums come from summed-area tables in double precision (arrays/window_sums.h), four look-ups
// per pixel whatever the window, and agree with a direct sum within float rounding. A window that
// holds an infinite or NaN value gives what a direct float sum would: NaN, or the infinity when all
// of them share its sign.
#pragma once

// out (nx x ny) = the window mean of in; both on the device, out must not be in.
void hcuda_2d_convolution_by_box(const float* in, float* out, int nx, int ny, int kx, int ky);
