// The gridded power spectrum of one image: the image is cut into overlapping bx x by boxes at a step
// of `step` pixels, (nx - bx)/step + 1 across and (ny - by)/step + 1 down, box (i, j) covering
// columns i step ... i step + bx - 1 and rows j step ... j step + by - 1; the Fourier amplitudes of
// all boxes are summed (not averaged) into one centred half spectrum of N = (bx/2 + 1) by values.
// Images, spectra and work arrays are on the device. A grid needs bx, by, step >= 1 and an image
// at least one box large; anything else ends the program with a message.
#pragma once

// Boxes along one side of `size` pixels.
int grid_box_count(int size, int box, int step);

// Copies `count` boxes of the grid one after another into boxes: box numbers[first + k] (row-major
// grid order, a device array) for k = 0 ... count - 1, or box first + k when numbers is null.
void cut_grid_boxes(const float* image, int nx, int bx, int by, int step, int boxes_across, const int* numbers,
                    int first, int count, float* boxes);

// out += the amplitudes of every box, from batches of cut boxes and 2D transforms in grid order.
// The CPU backend takes them from shared row transforms instead (spectrum_grid_strips.h).
void add_grid_amplitudes_by_boxes(float* out, const float* image, int nx, int ny, int bx, int by, int step);

// out = the summed box amplitudes. The last argument is not used.
void hcuda_2d_gridfft_r2c_amp_ave(const float* image, float* out, int nx, int ny, int bx, int by, int step, int unused);
// out = the summed amplitudes, their natural logarithm, less its convsize x convsize background
// (spectrum_background.h); bx must be at least 2.
void hcuda_2d_gridfft_r2c_amp_ave_log_subbg(const float* image, float* out, int nx, int ny, int bx, int by, int step,
                                            int convsize);
// The same into out, and the logarithm before the background subtraction into out_log.
void hcuda_2d_gridfft_r2c_amp_ave_log_subbg2(const float* image, float* out, float* out_log, int nx, int ny, int bx,
                                             int by, int step, int convsize);
