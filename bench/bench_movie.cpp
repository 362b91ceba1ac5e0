// Movie and stack refinement of a 4096 x 4096 x 24-frame movie with the run's defaults (box 512,
// overlap 0.5, windows of 7 frames, mean defocus only): the whole stage with the frame spectra
// kept and with every frame transformed again per window, and its two parts, one frame's gridded
// spectrum and one window's refinement. The frames repeat one simulated micrograph: the cost of a
// transform does not depend on the pixels, and every window then refines a realistic spectrum.
#include <benchmark/benchmark.h>

#include <vector>

#include "backend/device.h"
#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/movie_refine.h"
#include "ctf/random_seed.h"
#include "ctf/refine_fixed_phase.h"
#include "simulate/simulate.h"
#include "spectrum/spectrum_background.h"
#include "spectrum/spectrum_grid.h"

namespace {

constexpr int kSide = 4096, kFrames = 24, kBox = 512, kStep = 256, kWindow = 7;
constexpr size_t kSpectrum = static_cast<size_t>(kBox / 2 + 1) * kBox;
const CtfModel kStack{20000.0f, 20600.0f, 30.0f, 0.0f};

const std::vector<float>& movie() {
  static const std::vector<float> frames = [] {
    SimParams p;
    p.nx = p.ny = kSide;
    p.defU = kStack.defocus_u;
    p.defV = kStack.defocus_v;
    p.angle = kStack.angle;
    p.dose = 10.0f;
    const std::vector<float> one = simulate_micrograph(p).frames;
    std::vector<float> all;
    all.reserve(one.size() * kFrames);
    for (int f = 0; f < kFrames; ++f) all.insert(all.end(), one.begin(), one.end());
    return all;
  }();
  return frames;
}

MovieRefineSettings settings(size_t spectra_memory) {
  MovieRefineSettings s{};
  s.grid = FrameGrid{kBox, kStep};
  s.convsize = kBox / 12;
  s.fit = CtfSampling{make_optics(300.0f, 2.7f, 0.1f, 1.0f), 150.0f, RESO{50.0f, 4.0f}};
  s.defocus_step = 50.0f;
  s.window = kWindow;
  s.fit_lines = true;
  s.spectra_memory = spectra_memory;
  return s;
}

void run_stage(benchmark::State& state, size_t spectra_memory) {
  const MovieFrames frames{movie().data(), kSide, kSide, kFrames};
  quib_set_fixed_seed(1);
  for (auto _ : state)
    benchmark::DoNotOptimize(ctf_movie_stack_refine(frames, CtfFit{kStack, 0.1f}, settings(spectra_memory), nullptr));
  quib_clear_fixed_seed();
  state.SetLabel(backend_name());
}

void BM_MovieRefineKeptSpectra(benchmark::State& state) { run_stage(state, device_memory_available() / 2); }
BENCHMARK(BM_MovieRefineKeptSpectra)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_MovieRefineRetransformed(benchmark::State& state) { run_stage(state, 0); }
BENCHMARK(BM_MovieRefineRetransformed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_FrameGriddedSpectrum(benchmark::State& state) {
  const DeviceBuffer<float> frame = device_copy_of(movie().data(), static_cast<size_t>(kSide) * kSide);
  DeviceBuffer<float> spectrum(kSpectrum);
  for (auto _ : state) hcuda_2d_gridfft_r2c_amp_ave(frame.get(), spectrum.get(), kSide, kSide, kBox, kBox, kStep, 0);
  state.SetLabel(backend_name());
}
BENCHMARK(BM_FrameGriddedSpectrum)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowRefinement(benchmark::State& state) {
  const DeviceBuffer<float> frame = device_copy_of(movie().data(), static_cast<size_t>(kSide) * kSide);
  DeviceBuffer<float> spectrum(kSpectrum), work(kSpectrum);
  hcuda_2d_gridfft_r2c_amp_ave_log_subbg(frame.get(), spectrum.get(), kSide, kSide, kBox, kBox, kStep, kBox / 12);
  const RefineTarget target{spectrum.get(), work.get(), kBox, kBox, settings(0).fit};
  for (auto _ : state) benchmark::DoNotOptimize(hcuda_ctfrefine_half2d_only_defave(target, kStack, 50.0f, nullptr));
  state.SetLabel(backend_name());
}
BENCHMARK(BM_WindowRefinement)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
