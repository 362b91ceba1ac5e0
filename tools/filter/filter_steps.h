// The steps quib_filter applies to the images of one file, on the device.
#pragma once

#include <vector>

#include "backend/memory.h"
#include "filter/filter_options.h"

// Why the steps cannot run on nx x ny images of pixel size apix (a band-pass of a rectangle, a bad
// band, disk, scale, transform or window, a binning larger than the image), or null.
const char* filter_problem(const FilterOptions& o, int nx, int ny, float apix);

// The size and pixel size of the images the steps make of nx x ny images of pixel size apix, for
// options filter_problem accepts.
struct FilteredShape {
  int nx, ny;
  float apix;
};
FilteredShape filtered_shape(const FilterOptions& o, int nx, int ny, float apix);

// nz images of nx x ny pixels in, nz images of the filtered shape back. Returns 0, or -1 after a
// device failure.
int filter_images(const FilterOptions& o, const float* images, int nx, int ny, int nz, float apix,
                  std::vector<float>& result);
