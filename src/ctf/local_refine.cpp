#include "ctf/local_refine.h"

#include <algorithm>

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

size_t largest_neighbourhood(const LocalRefinePlan& plan) {
  size_t largest = 0;
  for (const std::vector<NeighbourBox>& near : plan.neighbourhoods) largest = std::max(largest, near.size());
  return largest;
}

}  // namespace

size_t local_refinement_bytes(const LocalRefinePlan& plan) {
  const size_t nh = plan.grid.box / 2 + 1, box = plan.grid.box;
  const size_t scratch = largest_neighbourhood(plan) * (sizeof(int) + (1 + nh + box) * sizeof(float));
  return grid_spectra_bytes(plan.grid, plan.boxes_in_use.size()) + scratch + 2 * nh * box * sizeof(float);
}

LocalRefiner start_local_refiner(const float* image, const LocalRefinePlan& plan) {
  const size_t spectrum = static_cast<size_t>(plan.grid.box / 2 + 1) * plan.grid.box;
  return {grid_spectra(image, plan.grid, plan.boxes_in_use),
          local_average_scratch(plan.grid, largest_neighbourhood(plan)), DeviceBuffer<float>(spectrum),
          DeviceBuffer<float>(spectrum)};
}

CtfFit refine_particle(LocalRefiner& r, const LocalRefinePlan& plan, int p, const CtfModel& start,
                       const LocalRefineSettings& s, FILE* log) {
  const std::vector<NeighbourBox>& near = plan.neighbourhoods[p];
  if (near.empty()) return {start, 0.0f};
  local_average_spectrum(r.average.get(), r.spectra, near, s.weighting, r.scratch);
  const RefineTarget target{r.average.get(), r.work.get(), s.box, s.box, s.fit};
  if (s.refine_astigmatism) return hcuda_ctfrefine_half2d_local(target, start, s.defocus_step, 1.0f, log);
  return hcuda_ctfrefine_half2d_only_defave(target, start, s.defocus_step, log);
}
