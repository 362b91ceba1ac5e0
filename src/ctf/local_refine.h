// Local refinement: each particle's own CTF, refined at the micrograph's phase shift against the
// weighted spectrum of the grid boxes around it (local_grid.h, local_spectrum.h), starting from the
// micrograph's values.
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

#include "ctf/local_grid.h"
#include "ctf/local_spectrum.h"
#include "ctf/refine_2d.h"

struct LocalRefineSettings {
  int box;   // side of the grid boxes, even
  int step;  // pixels between neighbouring grid boxes, at least 1
  LocalWeighting weighting;
  bool refine_astigmatism;  // else the mean defocus alone, the astigmatism and angle kept
  CtfSampling fit;          // optics, envelope and band of the fit
  float defocus_step;       // the first step of the defocus search, Angstrom
};

// Particle centres in micrograph pixels.
struct ParticleCentre {
  int x;
  int y;
};

// Where each particle's spectrum comes from: the grid, every particle's neighbourhood and the grid
// boxes that any of them holds.
struct LocalRefinePlan {
  LocalGrid grid;
  std::vector<std::vector<NeighbourBox>> neighbourhoods;
  std::vector<int> boxes_in_use;
};

LocalRefinePlan plan_local_refinement(int nx, int ny, const LocalRefineSettings& settings,
                                      const std::vector<ParticleCentre>& particles);
// Device bytes that refining the plan's particles takes.
size_t local_refinement_bytes(const LocalRefinePlan& plan, int weighting_type);

// The device state of one micrograph's refinement: the grid spectra, the local spectra of a batch of
// consecutive particles (formed together, so that each grid spectrum is read once per batch), their
// scratch, and the fit's work array.
struct LocalRefiner {
  GridSpectra spectra;
  LocalAverageScratch scratch;
  DeviceBuffer<float> batch;  // the local spectra of particles first ... first + count - 1
  int first;
  int count;
  DeviceBuffer<float> work;
};

// Computes the spectra of the plan's grid boxes from the micrograph (device, nx x ny).
LocalRefiner start_local_refiner(const float* image, const LocalRefinePlan& plan, int weighting_type);

// Refines particle p from `start` (whose phase shift stays fixed). With an empty neighbourhood
// nothing is fitted and the result is `start` with CCC 0. Otherwise refiner.work ends holding
// |CTF| E of the fitted model. Particles are best taken in order: each batch is formed once.
CtfFit refine_particle(LocalRefiner& refiner, const LocalRefinePlan& plan, int p, const CtfModel& start,
                       const LocalRefineSettings& settings, FILE* log);

// The local spectrum of particle p, valid after refine_particle(p) until the next particle's.
const float* particle_spectrum(const LocalRefiner& refiner, int p);
