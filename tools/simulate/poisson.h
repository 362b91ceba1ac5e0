// Poisson-distributed counts drawn from a counter-based generator.
#pragma once

#include <cstdint>
#include <vector>

#include "simulate/counter_rng.h"

// One count of mean lambda (lambda >= 0): inversion below 10, Hoermann's transformed rejection
// with squeeze (PTRS) above, so the cost stays small for any dose.
double poisson_sample(double lambda, CounterRng& rng);

// Shot noise of one frame: each pixel's count is a Poisson draw of its expected count, from the
// pixel's own generator of the shot-noise stream of (seed, frame).
std::vector<float> shot_noise_frame(const std::vector<float>& expected, uint64_t seed, int frame);
