// Validation of one 4096 x 4096 micrograph's fit with the run's defaults (box 512, overlap 0.5,
// 1 A pixels, so all five bands): the stage works on the gridded spectrum only, so its cost is the
// five band refinements whatever the micrograph's size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "backend/device.h"
#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/ctf_validation.h"
#include "ctf/random_seed.h"
#include "simulate/simulate.h"
#include "spectrum/spectrum_background.h"
#include "spectrum/spectrum_grid.h"

namespace {

constexpr int kSide = 4096, kBox = 512, kStep = 256;
constexpr size_t kSpectrum = static_cast<size_t>(kBox / 2 + 1) * kBox;
const CtfModel kFit{20000.0f, 20600.0f, 30.0f, 0.0f};

void BM_Validation(benchmark::State& state) {
  SimParams p;
  p.nx = p.ny = kSide;
  p.defU = kFit.defocus_u;
  p.defV = kFit.defocus_v;
  p.angle = kFit.angle;
  const std::vector<float> micrograph = simulate_micrograph(p).frames;
  const DeviceBuffer<float> image = device_copy_of(micrograph.data(), micrograph.size());
  DeviceBuffer<float> spectrum(kSpectrum), work(kSpectrum);
  hcuda_2d_gridfft_r2c_amp_ave_log_subbg(image.get(), spectrum.get(), kSide, kSide, kBox, kBox, kStep, kBox / 12);
  const ValidationInput input{spectrum.get(), work.get(), kBox, make_optics(300.0f, 2.7f, 0.1f, 1.0f), 150.0f};
  FILE* log = fopen("/dev/null", "w");
  quib_set_fixed_seed(1);
  for (auto _ : state) benchmark::DoNotOptimize(ctf_validation(input, kFit, log));
  quib_clear_fixed_seed();
  fclose(log);
  state.SetLabel(backend_name());
}
BENCHMARK(BM_Validation)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
