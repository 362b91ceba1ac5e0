// The command line of quib_filter: which steps to apply to each image of an MRC file, and its help.
#pragma once

#include <string>

#include "arrays/fourier_band.h"

struct FilterOptions {
  std::string input;
  std::string output;
  float apix = 0.0f;  // Angstrom per pixel; 0 takes it from the input header
  int bin = 1;
  double lowpass = 0.0;   // Angstrom; 0: no low-pass
  double highpass = 0.0;  // Angstrom; 0: no high-pass
  BandEdge edge = BandEdge::kSharp;
  float width = 5.0f;  // pixels of the soft edge
  bool mirror = false;
  float bg_radius = 0.0f;   // pixels; 0: no background subtraction
  float std_radius = 0.0f;  // pixels; 0: no local standard deviation
  float disk_edge = 0.0f;
  float mask_radius = 0.0f;  // pixels; 0: no mask
  float mask_edge = 0.0f;
  bool help = false;
};

// Reads the options and the two file names. A malformed or unusable value, an unknown option or a
// missing file name ends the program with a message and status 1; --help (or -h) only sets `help`.
FilterOptions parse_filter_options(int argc, const char* const* argv);

bool has_band_pass(const FilterOptions& o);
// The band the low- and high-pass options describe.
BandPass band_of(const FilterOptions& o);

void print_filter_help(const char* program);
