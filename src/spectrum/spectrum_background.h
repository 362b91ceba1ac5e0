// Removal of the smooth background of a centred half spectrum of a bx x by box (N = (bx/2 + 1) by
// values on the device): the spectrum is expanded into its full layout (spectrum_layout.h), the mean
// over a convsize x convsize window (box_mean.h) is taken there, so that windows near the zero
// frequency reach across to the mirrored half, and subtracted pixel by pixel. A constant added to
// the input therefore leaves the result unchanged. bx must be at least 2.
#pragma once

// Natural logarithm of each value, then the background subtraction, in place.
void hcuda_2d_fft_amp_log_subbg_inplace(float* spectrum, int bx, int by, int convsize);
// The background subtraction alone; out may be in.
void hcuda_2d_fft_amp_subbg(float* out, const float* in, int bx, int by, int convsize);
void hcuda_2d_fft_amp_subbg_inplace(float* spectrum, int bx, int by, int convsize);
