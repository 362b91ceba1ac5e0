// Synthetic micrographs and movies with a known CTF: the frames, and the particles they hold with
// their true local defocus.
#pragma once

#include <functional>
#include <vector>

#include "simulate/phase_object.h"
#include "simulate/sim_params.h"

// A particle's centre (pixels) and the defocus a spectrum around it shows: U and V shifted by the
// defocus plane at the centre and by the drift averaged over the frames; the angle is unchanged.
struct ParticleTruth {
  int x;
  int y;
  float defU;
  float defV;
  float angle;
};

std::vector<ParticleTruth> particle_truth(const SimParams& p, const std::vector<Particle>& particles);

// Receives frame f (0-based) as nx * ny electron counts, row-major.
using FrameSink = std::function<void(int frame, const std::vector<float>& counts)>;

// Checks the parameters (ending the program on a bad one), simulates the frames in order, hands
// each to `sink` and returns the particles. Frames share the specimen; each has its own noise and
// the dose divided by nz.
std::vector<ParticleTruth> simulate_frames(const SimParams& p, const FrameSink& sink);

struct SimResult {
  std::vector<float> frames;  // nz frames of nx * ny counts, one after another
  std::vector<ParticleTruth> particles;
};

SimResult simulate_micrograph(const SimParams& p);
