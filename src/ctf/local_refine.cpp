#include "ctf/local_refine.h"

#include <algorithm>

#include "ctf/local_weights.h"
#include "ctf/refine_fixed_phase.h"

LocalRefinePlan plan_local_refinement(int nx, int ny, const LocalRefineSettings& s,
                                      const std::vector<ParticleCentre>& particles) {
  LocalRefinePlan plan{local_grid(nx, ny, s.box, s.step), {}, {}};
  plan.neighbourhoods.reserve(particles.size());
  for (const ParticleCentre& p : particles)
    plan.neighbourhoods.push_back(local_neighbourhood(plan.grid, p.x, p.y, s.weighting.radius));
  plan.boxes_in_use = grid_boxes_in_use(plan.grid, plan.neighbourhoods);
  return plan;
}

namespace {

// Particles whose local spectra are formed together.
constexpr int kBatch = 32;

size_t half_spectrum_size(const LocalGrid& g) { return static_cast<size_t>(g.box / 2 + 1) * g.box; }

int batch_size(const LocalRefinePlan& plan) {
  return std::min(kBatch, std::max(1, static_cast<int>(plan.neighbourhoods.size())));
}

// The most boxes that the neighbourhoods of one batch hold together.
size_t largest_batch_terms(const LocalRefinePlan& plan) {
  const size_t batch = batch_size(plan);
  size_t largest = 0;
  for (size_t first = 0; first < plan.neighbourhoods.size(); first += batch) {
    size_t terms = 0;
    for (size_t p = first; p < std::min(first + batch, plan.neighbourhoods.size()); ++p)
      terms += plan.neighbourhoods[p].size();
    largest = std::max(largest, terms);
  }
  return largest;
}

// Forms the local spectra of the batch that starts at particle first.
void form_batch(LocalRefiner& r, const LocalRefinePlan& plan, int first, const LocalWeighting& weighting) {
  r.first = first;
  r.count = std::min(batch_size(plan), static_cast<int>(plan.neighbourhoods.size()) - first);
  local_average_spectra(r.batch.get(), r.spectra, &plan.neighbourhoods[first], r.count, weighting, r.scratch);
}

}  // namespace

size_t local_refinement_bytes(const LocalRefinePlan& plan, int weighting_type) {
  const size_t nh = plan.grid.box / 2 + 1, box = plan.grid.box, terms = largest_batch_terms(plan);
  size_t weights = 0;
  if (weighting_type == kLocalDistanceWeights) weights = terms;
  if (weighting_type == kLocalFrequencyWeights) weights = terms * (nh + box);
  const size_t scratch = (batch_size(plan) + 1 + terms) * sizeof(int) + weights * sizeof(float);
  const size_t spectra = (batch_size(plan) + 1) * half_spectrum_size(plan.grid) * sizeof(float);
  return grid_spectra_bytes(plan.grid, plan.boxes_in_use.size()) + scratch + spectra;
}

LocalRefiner start_local_refiner(const float* image, const LocalRefinePlan& plan, int weighting_type) {
  const size_t spectrum = half_spectrum_size(plan.grid);
  return {grid_spectra(image, plan.grid, plan.boxes_in_use),
          local_average_scratch(plan.grid, batch_size(plan), largest_batch_terms(plan), weighting_type),
          DeviceBuffer<float>(batch_size(plan) * spectrum),
          0,
          0,
          DeviceBuffer<float>(spectrum)};
}

const float* particle_spectrum(const LocalRefiner& r, int p) {
  return r.batch.get() + (p - r.first) * half_spectrum_size(r.spectra.grid);
}

CtfFit refine_particle(LocalRefiner& r, const LocalRefinePlan& plan, int p, const CtfModel& start,
                       const LocalRefineSettings& s, FILE* log) {
  if (plan.neighbourhoods[p].empty()) return {start, 0.0f};
  if (p < r.first || p >= r.first + r.count) form_batch(r, plan, p, s.weighting);
  const RefineTarget target{particle_spectrum(r, p), r.work.get(), s.box, s.box, s.fit};
  if (s.refine_astigmatism) return hcuda_ctfrefine_half2d_local(target, start, s.defocus_step, 1.0f, log);
  return hcuda_ctfrefine_half2d_only_defave(target, start, s.defocus_step, log);
}
