// Amplitude spectra of a stack of nz images of bx x by pixels, each image one box: the amplitudes of
// all images summed at the centred positions of one half spectrum of N = (bx/2 + 1) by values, as
// the gridded spectrum does (spectrum_grid.h), optionally weighted, followed by a logarithm, a
// square root or the background subtraction (spectrum_background.h). Stacks and spectra are on
// the device.
#pragma once

// out = sum of |F_z|; its natural logarithm; its square root.
void hcuda_2ds_fft_r2c_amp_ave(const float* stack, float* out, int bx, int by, int nz);
void hcuda_2ds_fft_r2c_amp_ave_log(const float* stack, float* out, int bx, int by, int nz);
void hcuda_2ds_fft_r2c_amp_ave_sqrt(const float* stack, float* out, int bx, int by, int nz);
// The logarithm less its convsize x convsize background.
void hcuda_2ds_fft_r2c_amp_ave_log_subbg(const float* stack, float* out, int bx, int by, int nz, int convsize);

// out = sum of w_z |F_z| with w_z = weights[z] from a host array of nz values; its logarithm.
void hcuda_2ds_fft_r2c_amp_weighted_ave(const float* stack, float* out, int bx, int by, int nz, const float* weights);
void hcuda_2ds_fft_r2c_amp_weighted_ave_log(const float* stack, float* out, int bx, int by, int nz,
                                            const float* weights);
// Weighted sum, logarithm and background subtraction. type 1: weights is a device array of nz values,
// one per image; type 2: a device stack of nz centred maps of N values, image z adding |F_z(i)| map_z(j)
// at each centred position j. Any other type ends the program with a message.
void hcuda_2ds_fft_r2c_amp_weighted_ave_log_subbg(const float* stack, float* out, int bx, int by, int nz, int convsize,
                                                  const float* weights, int type);

// Image z's log |F| in half-complex order (not centred), as spectrum z of a stack of N-value spectra.
void hcuda_2ds_fft_r2c_logmod(const float* stack, float* out, int bx, int by, int nz);
