// The 2D refinement's score, one whole refinement and the 1D defocus search on a 513 x 1024 half
// spectrum simulated from a known astigmatic CTF, with the run's default band and B-factor.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "arrays/array_reduce.h"
#include "backend/device.h"
#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/ctf_simulate.h"
#include "ctf/random_seed.h"
#include "ctf/refine_2d.h"
#include "ctf/refine_score.h"
#include "ctf/search_1d.h"
#include "run/quib_para.h"
#include "run/stage_settings.h"

namespace {

constexpr int kBox = 1024, kNh = kBox / 2 + 1;
constexpr float kApix = 1.34f, kKV = 300.0f, kCs = 2.7f, kAc = 0.1f, kB = 150.0f, kResL = 50.0f, kResH = 4.0f;
constexpr float kU = 21000.0f, kV = 21700.0f, kA = 35.0f;
const Optics kOptics = make_optics(kKV, kCs, kAc, kApix);
const CtfSampling kFit{kOptics, kB, RESO{kResL, kResH}};
// The model scored: a little off the simulated one.
const CtfModel kTrial{kU + 40, kV - 30, kA + 2, 0.0f};

// (|CTF| - 0.6) plus noise: rings about zero, like a background-subtracted log spectrum.
std::vector<float> measured_spectrum() {
  DeviceBuffer<float> simulated(static_cast<size_t>(kNh) * kBox);
  hcuda_ctf_mod_simulate_2d_half(simulated.get(), kNh, kBox, CtfSampling{kOptics, 0.0f, RESO{1e6f, 2.0f * kApix}},
                                 CtfModel{kU, kV, kA, 0.0f});
  std::vector<float> host = host_copy_of(simulated);
  std::mt19937 rng(1);
  std::normal_distribution<float> noise(0.0f, 0.3f);
  for (float& x : host) x += noise(rng) - 0.6f;
  return host;
}

void BM_RefineScore(benchmark::State& state) {
  const DeviceBuffer<float> measured = device_copy_of(measured_spectrum());
  const RefineScorer scorer = refine_scorer(measured.get(), kNh, kBox, kFit);
  for (auto _ : state) benchmark::DoNotOptimize(refine_score(scorer, kTrial));
  state.counters["band_pixels"] = static_cast<double>(scorer.band->count);
  state.SetLabel(backend_name());
}
BENCHMARK(BM_RefineScore)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The straightforward score the tables stand in for: the model times the spectrum over the whole
// half spectrum, then the tree sum.
void BM_StraightforwardScore(benchmark::State& state) {
  const DeviceBuffer<float> measured = device_copy_of(measured_spectrum());
  DeviceBuffer<float> work(measured.size());
  for (auto _ : state) {
    hcuda_ctf_sim_mul_real_2d_half(work.get(), measured.get(), kNh, kBox, kFit, kTrial);
    benchmark::DoNotOptimize(hcuda_fast_sum_inplace(work.get(), work.size()));
  }
  state.SetLabel(backend_name());
}
BENCHMARK(BM_StraightforwardScore)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The stand-alone score (as validation and local refinement call it): envelope and measured
// values gathered afresh on every call.
void BM_StandaloneScore(benchmark::State& state) {
  const DeviceBuffer<float> measured = device_copy_of(measured_spectrum());
  DeviceBuffer<float> work(measured.size());
  for (auto _ : state)
    benchmark::DoNotOptimize(ctf_ccc_sim_with_real_2d_half(work.get(), measured.get(), kNh, kBox, kFit, kTrial));
  state.SetLabel(backend_name());
}
BENCHMARK(BM_StandaloneScore)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Refine2d(benchmark::State& state) {
  const DeviceBuffer<float> measured = device_copy_of(measured_spectrum());
  DeviceBuffer<float> work(measured.size());
  CTF_REF_CONTROL control;
  ctf_ref_control_init(control);
  control.set_PHSL(0, 0, 0, 0);
  quib_set_fixed_seed(1);
  const RefineTarget target{measured.get(), work.get(), kBox, kBox, kFit};
  CtfFit fit{};
  for (auto _ : state)
    fit = hcuda_ctfrefine_half2d(target, CtfModel{kU - 230, kV + 190, 22.0f, 0.0f}, RefineSteps{500.0f, 30.0f, 0.0f},
                                 control, nullptr);
  quib_clear_fixed_seed();
  state.counters["dU"] = fit.model.defocus_u - kU;
  state.counters["dV"] = fit.model.defocus_v - kV;
  state.counters["dA"] = fit.model.angle - kA;
  state.SetLabel(backend_name());
}
BENCHMARK(BM_Refine2d)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Search1d(benchmark::State& state) {
  const std::vector<float> measured = measured_spectrum();
  char name[] = "quib";
  char* argv[] = {name, nullptr};
  QUIB_Para para{};
  Quib_init_parameters(1, argv, &para);
  para.apix = kApix;
  const DefocusSearchSettings settings = defocus_search_settings(para);
  float D = 0.0f;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<float> half = measured;
    state.ResumeTiming();
    quib_1D_search2(half.data(), D, 0.0f, settings, nullptr);
  }
  state.counters["defocus"] = D;
  state.SetLabel(backend_name());
  Quib_release_parameters(&para);
}
BENCHMARK(BM_Search1d)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
