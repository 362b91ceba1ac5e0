// Binning of device images by an integer factor k: each output pixel is the mean of a k x k block,
// and the columns and rows left over at the right and bottom edges are dropped.
#pragma once

// Why nx x ny images cannot be binned by k (k below 1 or larger than a side), or null.
const char* binning_problem(int nx, int ny, int k);

// out holds nz images of (nx / k) x (ny / k) pixels, image z binned from image z of in. Bad sizes
// end the program.
void hcuda_2ds_meanshrink(const float* in, float* out, int nx, int ny, int nz, int k);
