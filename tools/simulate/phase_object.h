// The specimen: a weak phase object (phase in radians per pixel) made of amorphous ice (white
// noise), a smooth field of ice thickness, and particles placed at random without overlap.
#pragma once

#include <vector>

#include "simulate/sim_params.h"

// A particle's centre in whole pixels (column x, row y).
struct Particle {
  int x;
  int y;
};

struct Specimen {
  std::vector<float> phase;  // nx * ny, row-major
  std::vector<Particle> particles;
};

// Particles are clusters of Gaussian blobs box / 2 pixels across, centred so that their whole
// box lies inside the image. Fewer than p.nptcl are placed when the image has no room for more.
Specimen make_specimen(const SimParams& p);
