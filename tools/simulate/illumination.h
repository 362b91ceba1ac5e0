// The illumination of the detector: a smooth, non-oscillating variation of the beam intensity that
// the CTF does not modulate, scaled to a mean of exactly 1 over the image.
#pragma once

#include <vector>

#include "simulate/sim_params.h"

std::vector<float> make_illumination(const SimParams& p);
