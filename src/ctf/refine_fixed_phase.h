// Refinements of one CTF at a fixed phase shift, for spectra that differ only a little from the one
// the start was fitted to (a window of movie frames, the boxes around one particle). They print
// nothing but the warning of a refinement that runs out of cycles.
#pragma once

#include <cstdio>

#include "ctf/refine_2d.h"

// A fixed-phase refinement's result and whether it settled within its 100 cycles.
struct FixedPhaseFit {
  CtfFit fit;
  bool converged;
};

// Mean defocus, astigmatism and angle refined at the fixed phase shift of `start`, by the bracket
// search without its doubling step; target.work ends holding |CTF|*E of the result. The first
// orientation tried is U and V of start exchanged; the angle is delivered in [-90, 90). The
// generator is reseeded on entry (quib_reseed). Writes nothing: the caller reports a search that
// did not settle in its own words.
FixedPhaseFit refine_defocus_astigmatism_angle(const RefineTarget& target, const CtfModel& start, float defocus_step,
                                               float angle_step);

// The same refinement with the warning of a search that ran out of cycles.
CtfFit hcuda_ctfrefine_half2d_local(const RefineTarget& target, const CtfModel& start, float defocus_step,
                                    float angle_step, FILE* log);

// The mean defocus only; astigmatism (V - U of start) and angle stay those of start. The generator
// is not reseeded.
CtfFit hcuda_ctfrefine_half2d_only_defave(const RefineTarget& target, const CtfModel& start, float defocus_step,
                                          FILE* log);
