// Local refinement of 300 particles on a simulated 4096 x 4096 micrograph tilted by 30 degrees, with
// the default local settings (512-pixel boxes every 256 pixels, radius 1024): the spectra of the
// grid boxes alone, and the whole refinement of every particle for each weighting type.
#include <benchmark/benchmark.h>

#include <vector>

#include "backend/device.h"
#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/local_refine.h"
#include "ctf/random_seed.h"
#include "simulate/simulate.h"

namespace {

struct Micrograph {
  SimParams params;
  DeviceBuffer<float> image;
  std::vector<ParticleCentre> particles;
};

const Micrograph& micrograph() {
  static const Micrograph m = [] {
    Micrograph made;
    made.params.tilt_angle = 30.0f;
    made.params.defU = 15000.0f;
    made.params.defV = 15500.0f;
    made.params.angle = 30.0f;
    made.params.nptcl = 300;
    const SimResult sim = simulate_micrograph(made.params);
    made.image = device_copy_of(sim.frames);
    for (const ParticleTruth& p : sim.particles) made.particles.push_back({p.x, p.y});
    return made;
  }();
  return m;
}

LocalRefineSettings settings(int type) {
  const SimParams& p = micrograph().params;
  const Optics optics = make_optics(p.kV, p.Cs, p.ac, p.apix);
  return {512, 256, LocalWeighting{type, 1024.0f, p.apix, 5.0f}, false, CtfSampling{optics, 150.0f, RESO{15.0f, 5.0f}},
          500.0f / 3.0f};
}

void BM_LocalGridSpectra(benchmark::State& state) {
  const Micrograph& m = micrograph();
  const LocalRefinePlan plan = plan_local_refinement(m.params.nx, m.params.ny, settings(0), m.particles);
  for (auto _ : state) benchmark::DoNotOptimize(start_local_refiner(m.image.get(), plan, 0).spectra.spectra.get());
  state.counters["grid_boxes"] = static_cast<double>(plan.boxes_in_use.size());
  state.SetLabel(backend_name());
}
BENCHMARK(BM_LocalGridSpectra)->Unit(benchmark::kMillisecond)->UseRealTime();

// Everything local refinement does for one micrograph's particles but write its files.
void BM_LocalRefine300(benchmark::State& state) {
  const Micrograph& m = micrograph();
  const LocalRefineSettings s = settings(static_cast<int>(state.range(0)));
  const CtfModel start{m.params.defU, m.params.defV, m.params.angle, 0.0f};
  quib_set_fixed_seed(1);
  for (auto _ : state) {
    const LocalRefinePlan plan = plan_local_refinement(m.params.nx, m.params.ny, s, m.particles);
    LocalRefiner refiner = start_local_refiner(m.image.get(), plan, s.weighting.type);
    for (size_t p = 0; p < m.particles.size(); ++p)
      benchmark::DoNotOptimize(refine_particle(refiner, plan, static_cast<int>(p), start, s, nullptr));
  }
  quib_clear_fixed_seed();
  state.counters["particles"] = static_cast<double>(m.particles.size());
  state.SetLabel(backend_name());
}
BENCHMARK(BM_LocalRefine300)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
