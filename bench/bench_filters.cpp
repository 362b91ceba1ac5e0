// The image filters quib_filter runs, on a 4096 x 4096 image: binning by 2 and a soft band-pass
// of the binned 2048 x 2048 image; bilinear scaling by 0.5, a rotation and a 64 x 64 window
// standard deviation of the 2048 x 2048 image. The whole program (reading and writing the files too) is timed
// by running `quib_filter --bin 2` on a simulated 4096^2 file; see README.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "arrays/box_std.h"
#include "arrays/fourier_band.h"
#include "arrays/image_binning.h"
#include "arrays/image_scale.h"
#include "arrays/image_transform.h"
#include "backend/device.h"
#include "backend/memory.h"

namespace {

DeviceBuffer<float> random_image(size_t side) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> host(side * side);
  for (float& x : host) x = u(rng);
  return device_copy_of(host);
}

void BM_Bin2_4096(benchmark::State& state) {
  DeviceBuffer<float> image = random_image(4096);
  DeviceBuffer<float> binned(2048 * 2048);
  for (auto _ : state) hcuda_2ds_meanshrink(image.get(), binned.get(), 4096, 4096, 1, 2);
  state.SetLabel(backend_name());
}
BENCHMARK(BM_Bin2_4096)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SoftBandPass_2048(benchmark::State& state) {
  DeviceBuffer<float> image = random_image(2048);
  const BandPass band = band_between(8.0, 100.0, BandEdge::kSoft, 5.0f);
  for (auto _ : state) benchmark::DoNotOptimize(hcuda_2d_bandpass(image.get(), image.get(), 2048, 2.0f, band));
  state.SetLabel(backend_name());
}
BENCHMARK(BM_SoftBandPass_2048)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScaleHalf_4096(benchmark::State& state) {
  DeviceBuffer<float> image = random_image(4096);
  DeviceBuffer<float> scaled(2048 * 2048);
  for (auto _ : state) hcuda_2d_scale(scaled.get(), image.get(), 4096, 4096, 0.5f);
  state.SetLabel(backend_name());
}
BENCHMARK(BM_ScaleHalf_4096)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Rotate_2048(benchmark::State& state) {
  DeviceBuffer<float> image = random_image(2048);
  DeviceBuffer<float> rotated(2048 * 2048);
  for (auto _ : state) hcuda_2d_rotate(image.get(), rotated.get(), 2048, 2048, 17.0f);
  state.SetLabel(backend_name());
}
BENCHMARK(BM_Rotate_2048)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BoxStd64_2048(benchmark::State& state) {
  DeviceBuffer<float> image = random_image(2048);
  DeviceBuffer<float> spread(2048 * 2048);
  for (auto _ : state) hcuda_2d_std_by_box(image.get(), spread.get(), 2048, 2048, 64, 64);
  state.SetLabel(backend_name());
}
BENCHMARK(BM_BoxStd64_2048)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
