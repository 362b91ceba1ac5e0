// The gridded power spectrum of a 4096 x 4096 micrograph: the whole step (boxes, transforms,
// amplitude sums, logarithm, background) for boxes of 1024 and 512 at overlap 0.5, and its parts.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "backend/device.h"
#include "backend/memory.h"
#include "spectrum/spectrum_background.h"
#include "spectrum/spectrum_grid.h"

namespace {

constexpr int kImage = 4096;
constexpr int kConvsize = 85;

const DeviceBuffer<float>& micrograph() {
  static const DeviceBuffer<float> image = [] {
    std::mt19937 rng(1);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> pixels(static_cast<size_t>(kImage) * kImage);
    for (float& v : pixels) v = noise(rng);
    return device_copy_of(pixels);
  }();
  return image;
}

size_t spectrum_size(int box) { return static_cast<size_t>(box / 2 + 1) * box; }

// Whole step: box, step = box / 2 (overlap 0.5).
void BM_GriddedSpectrum(benchmark::State& state) {
  const int box = static_cast<int>(state.range(0));
  const DeviceBuffer<float>& image = micrograph();
  DeviceBuffer<float> out(spectrum_size(box)), out_log(spectrum_size(box));
  for (auto _ : state)
    hcuda_2d_gridfft_r2c_amp_ave_log_subbg2(image.get(), out.get(), out_log.get(), kImage, kImage, box, box, box / 2,
                                            kConvsize);
  const int per_side = (kImage - box) / (box / 2) + 1;
  state.counters["boxes"] = per_side * per_side;
  state.SetLabel(backend_name());
}

// Boxes, transforms and amplitude sums only.
void BM_GridAmplitudes(benchmark::State& state) {
  const int box = static_cast<int>(state.range(0));
  const DeviceBuffer<float>& image = micrograph();
  DeviceBuffer<float> out(spectrum_size(box));
  for (auto _ : state) hcuda_2d_gridfft_r2c_amp_ave(image.get(), out.get(), kImage, kImage, box, box, box / 2, 0);
}

// Logarithm and background subtraction of one summed spectrum.
void BM_LogBackground(benchmark::State& state) {
  const int box = static_cast<int>(state.range(0));
  const std::vector<float> amplitudes(spectrum_size(box), 3.0f);
  DeviceBuffer<float> spectrum(amplitudes.size());
  for (auto _ : state) {
    state.PauseTiming();
    memcpy_H2D(spectrum.get(), amplitudes.data(), spectrum.bytes());
    state.ResumeTiming();
    hcuda_2d_fft_amp_log_subbg_inplace(spectrum.get(), box, box, kConvsize);
  }
}

BENCHMARK(BM_GriddedSpectrum)->Arg(1024)->Arg(512)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GridAmplitudes)->Arg(1024)->Arg(512)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LogBackground)->Arg(1024)->Arg(512)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
