// The score of a CTF model against a measured half spectrum: the sum over the fitting band of
// |CTF| E times the measured value (larger is better), evaluated from the band tables.
#pragma once

#include <memory>

#include "backend/memory.h"
#include "ctf/band_ctf.h"
#include "ctf/band_pixels.h"

// The score of one model (P and A in degrees, kV, Cs in mm, U, V in Angstrom, B in square
// Angstrom, the band resL..resH in Angstrom). work (nh x ny floats) is scratch: its content
// afterwards is not a spectrum. measured is read only.
float ctf_ccc_sim_with_real_2d_half(float* work, const float* measured, float apix, int nh, int ny, float P, float kV,
                                    float Cs, float ac, float U, float V, float A, float B, float resL, float resH);

// What stays fixed through one refinement: the optics, the band tables and the weights of its
// measured spectrum, so that each score is one pass over the band.
struct RefineScorer {
  float kV;
  float Cs;
  float ac;
  std::shared_ptr<const BandPixels> band;
  DeviceBuffer<float> weights;
};

RefineScorer refine_scorer(const float* measured, float apix, int nh, int ny, float kV, float Cs, float ac, float B,
                           float resL, float resH);
// The same score as ctf_ccc_sim_with_real_2d_half; work needs room for the band's pixel count.
float refine_score(float* work, const RefineScorer& scorer, float P, float U, float V, float A);
