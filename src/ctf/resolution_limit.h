// The resolution limit of a micrograph: the resolution at which the equiphase average of its
// spectrum stops following the CTF simulated along the x axis; with the EPA text file, the report
// lines and the B-factor for the driver.
// Spectra are device arrays of nh x ny floats (centred half spectrum); resolutions in Angstrom.
#pragma once

#include <cstdio>
#include <string>

#include "core/ctf_records.h"

// The EPA's oversampling and band, and the threshold: the limit is searched at resolutions
// finer than it.
struct EpaSettings {
  int oversampling;
  float threshold;
  RESO band;
};

// The estimate of the driver: the EPA settings, and whether to fit a B-factor in B_band.
struct ResolutionSettings {
  EpaSettings epa;
  int estimate_B;
  RESO B_band;
};

// Where the driver's estimate is reported: the EPA text file named after the micrograph, and the
// log (may be null).
struct EpaOutput {
  const char* micrograph;
  FILE* log;
};

// The EPA text file of a micrograph: its name with a trailing ".mrc", ".tif" or ".tiff" replaced by
// "_EPA.log" (a ".mrcs" is kept: b.mrcs gives b.mrcs_EPA.log).
std::string epa_file_name(const char* micrograph);

struct ResolutionEstimate {
  float resolution;  // Angstrom
  float bfactor;     // square Angstrom; 0 unless it was estimated
};

// The first resolution finer than the threshold at which the smoothed local correlation of the
// EPA of spectrum over the band with |CTF| turns negative, else the last one scanned. When the
// band leaves no sample to scan (tiny boxes, narrow bands) it is band.high and a warning is
// printed. Writes no file.
float ctf_epa_1d_ccf(const float* spectrum, int nh, int ny, const Optics& optics, const CtfModel& model,
                     const EpaSettings& settings);

// The same estimate from spectrum_sub (Ln|F| - Bg), plus: the EPA text file named after the
// micrograph (epa_file_name) with one line per scanned sample; the limit printed and written to the
// log; and, when estimate_B is set, the B-factor fitted to the EPA of spectrum_plain (Ln|F|) in
// B_band, printed and logged. An EPA file that cannot be written ends the program.
ResolutionEstimate ctf_epa_1d_ccf_B_estimation(const float* spectrum_sub, const float* spectrum_plain, int nh, int ny,
                                               const Optics& optics, const CtfModel& model,
                                               const ResolutionSettings& settings, const EpaOutput& output);
