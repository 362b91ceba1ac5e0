// Phase flip of one micrograph on the device: forward FFT, the sign of every component set by an
// astigmatic CTF with a phase shift, inverse FFT. Square 4096 x 4096 and the K3's 5760 x 4092,
// beside the two FFTs alone.
// The image is flipped in place on every iteration (flips alternate, the cost is the same).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "backend/memory.h"
#include "backend/workspace.h"
#include "core/ctf_model.h"
#include "ctf/phase_flip.h"

namespace {

DeviceBuffer<float> noise_image(int nx, int ny) {
  std::vector<float> host(static_cast<size_t>(nx) * ny);
  std::mt19937 rng(1);
  std::normal_distribution<float> noise;
  for (float& v : host) v = noise(rng);
  return device_copy_of(host);
}

void BM_PhaseFlip(benchmark::State& state) {
  const int nx = static_cast<int>(state.range(0)), ny = static_cast<int>(state.range(1));
  DeviceBuffer<float> image = noise_image(nx, ny);
  const Optics optics = make_optics(300.0f, 2.7f, 0.1f, 1.0f);
  const CtfModel model{15500.0f, 14500.0f, 30.0f, 20.0f};
  phase_flip_image(image.get(), nx, ny, optics, model);  // plans made before timing
  for (auto _ : state) benchmark::DoNotOptimize(phase_flip_image(image.get(), nx, ny, optics, model));
}

// The two transforms alone, for comparison: what the flip adds to them.
void BM_ForwardAndInverseFft(benchmark::State& state) {
  const int nx = static_cast<int>(state.range(0)), ny = static_cast<int>(state.range(1));
  DeviceBuffer<float> image = noise_image(nx, ny);
  DeviceBuffer<float2> half(static_cast<size_t>(nx / 2 + 1) * ny);
  const FftPlan2d& plan = fft_plan_2d(nx, ny);
  for (auto _ : state) {
    plan.forward(image.get(), half.get());
    benchmark::DoNotOptimize(plan.inverse(half.get(), image.get()));
  }
}

BENCHMARK(BM_ForwardAndInverseFft)
    ->Args({4096, 4096})
    ->Args({5760, 4092})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PhaseFlip)->Args({4096, 4096})->Args({5760, 4092})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
