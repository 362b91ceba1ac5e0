// The command line of quib_filter: which steps to apply to each image of an MRC file, or the
// particles to cut out of a micrograph or paste into it, and its help.
#pragma once

#include <optional>
#include <string>

#include "arrays/fourier_band.h"
#include "arrays/image_transform.h"

struct FilterOptions {
  std::string input;
  std::string output;
  float apix = 0.0f;  // Angstrom per pixel; 0 takes it from the input header
  int bin = 1;
  float scale = 0.0f;              // 0: no resampling
  float rotate = 0.0f;             // degrees
  std::optional<RT_Mat2D> motion;  // forward motion about the image centre
  double lowpass = 0.0;            // Angstrom; 0: no low-pass
  double highpass = 0.0;           // Angstrom; 0: no high-pass
  BandEdge edge = BandEdge::kSharp;
  float width = 5.0f;  // pixels of the soft edge
  bool mirror = false;
  float bg_radius = 0.0f;   // pixels; 0: no background subtraction
  float std_radius = 0.0f;  // pixels; 0: no local standard deviation
  int box_std = 0;          // window side; 0: no window standard deviation
  float disk_edge = 0.0f;
  float mask_radius = 0.0f;  // pixels; 0: no mask
  float mask_edge = 0.0f;
  std::string extract_boxes;  // box file whose particles are cut out; empty: none
  std::string paste_stack;    // particle stack pasted into the micrograph; empty: none
  std::string paste_boxes;    // the boxes it is pasted at
  bool help = false;
};

// Reads the options and the two file names. A malformed or unusable value, an unknown option or a
// missing file name ends the program with a message and status 1; --help (or -h) only sets `help`.
FilterOptions parse_filter_options(int argc, const char* const* argv);

bool has_band_pass(const FilterOptions& o);
// Whether any step that changes the images (binning, resampling, filters, mask) is asked for.
bool has_image_steps(const FilterOptions& o);
// The band the low- and high-pass options describe.
BandPass band_of(const FilterOptions& o);

void print_filter_help(const char* program);
