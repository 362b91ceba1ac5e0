// Local means and spreads of nx x ny device images: the mean weighted by a soft disk (circular_mask.h)
// around each pixel, computed by FFT convolution on the 2nx x 2ny mirror-padded image, so no value
// wraps in from the opposite edge.
#pragma once

// bg = the local soft-disk mean of in. A disk that cannot be made ends the program. Returns 0, or
// -1 after a device failure. bg may be in.
int hcuda_2d_bg_mpad(float* bg, const float* in, int nx, int ny, float radius, float width);
// data = data - its local mean.
int hcuda_2d_bg_reduce_mpad_inplace(float* data, int nx, int ny, float radius, float width);
// out = the local standard deviation sqrt(q - m^2), m and q the local means of in and in^2; q - m^2
// below 0 by rounding gives 0.
int hcuda_2d_local_sigma_softR_mpad(float* out, const float* in, int nx, int ny, float radius, float width);
