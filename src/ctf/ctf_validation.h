// Validation of a fitted CTF in five resolution bands: in each band a fixed-phase refinement starts
// from defocus values pushed away from the fit, and the distance at which it settles, measured
// against the push, grades the band from 5 (it came back) to 1 (it stayed away).
#pragma once

#include <cstdio>
#include <vector>

#include "core/ctf_records.h"

// What the bands are refined against: the micrograph's half spectrum (box / 2 + 1 columns by box
// rows, on the device, read only), device scratch of the same size, the optics and the run's
// fitting B-factor.
struct ValidationInput {
  const float* spectrum;
  float* work;
  int box;
  Optics optics;
  float bfactor;
};

// Writes the VALIDATION section for the fitted model: each band's differences from it, its CCC and
// grade on the screen and in the log, its VALIDATION_SCORE in the log, and a warning in the log
// after a band whose refinement did not settle. Returns the grades of the bands walked.
std::vector<int> ctf_validation(const ValidationInput& input, const CtfModel& fitted, FILE* log);
