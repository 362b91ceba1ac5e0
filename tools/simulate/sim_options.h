// The command line of quib_simulate: its options, its help text, and the one line of true values
// it prints for scripts.
#pragma once

#include <string>

#include "simulate/sim_params.h"

struct SimOptions {
  SimParams params;
  int mode = 2;           // MRC mode of the output: 1, 2 or 6
  std::string output;     // the MRC file
  std::string box_file;   // EMAN .box coordinates; empty writes none
  std::string star_file;  // RELION .star coordinates with the local defocus; empty writes none
  bool help = false;
};

// Reads "--name value" pairs (and "-o value"). An unknown option, a missing or malformed value,
// a value out of range or a missing output name ends the program with a message; --help (or -h)
// only sets `help`.
SimOptions parse_sim_options(int argc, const char* const* argv);

void print_sim_help(const char* program);

// "QUIB_SIMULATE_TRUTH" followed by space-separated key=value pairs: nx, ny, nz, apix, kV, Cs,
// ac, defU, defV, angle, phase_shift, bfac, dose, seed, drift, tilt_angle, tilt_axis, nptcl (the
// particles placed), box, mode, mean_defU, mean_defV (U and V of the frame sum on the tilt axis:
// the drift averaged over the frames), and last output, whose value runs to the end of the line.
// Numbers print with 9 significant digits.
std::string sim_truth_line(const SimOptions& options, int particles_placed);
