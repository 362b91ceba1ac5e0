// The score of a CTF model against a measured half spectrum: the sum over the fitting band of
// |CTF| E times the measured value (larger is better), evaluated from the band tables.
#pragma once

#include <memory>

#include "backend/memory.h"
#include "core/ctf_records.h"
#include "ctf/band_ctf.h"
#include "ctf/band_pixels.h"

// The score of one model sampled as given. work (nh x ny floats) is scratch: its content
// afterwards is not a spectrum. measured is read only.
float ctf_ccc_sim_with_real_2d_half(float* work, const float* measured, int nh, int ny, const CtfSampling& sampling,
                                    const CtfModel& model);

// What stays fixed through one refinement: the optics, the band tables and the weights of its
// measured spectrum, so that each score is one pass over the band.
struct RefineScorer {
  Optics optics;
  std::shared_ptr<const BandPixels> band;
  DeviceBuffer<float> weights;
};

RefineScorer refine_scorer(const float* measured, int nh, int ny, const CtfSampling& sampling);
// The same score as ctf_ccc_sim_with_real_2d_half.
float refine_score(const RefineScorer& scorer, const CtfModel& model);
