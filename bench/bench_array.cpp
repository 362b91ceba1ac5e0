// Throughput of the device array layer on a 4096 x 4096 image: the tree sum and one element-wise
// operation. Bytes processed count every float read and written once.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "arrays/array_ops_1d.h"
#include "arrays/array_reduce.h"
#include "backend/device.h"
#include "backend/memory.h"

namespace {

constexpr size_t kSide = 4096;
constexpr size_t kPixels = kSide * kSide;

DeviceBuffer<float> random_image() {
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> host(kPixels);
  for (float& x : host) x = u(rng);
  return device_copy_of(host);
}

void BM_FastSum2(benchmark::State& state) {
  DeviceBuffer<float> data = random_image();
  DeviceBuffer<float> scratch((kPixels + 1023) / 1024);
  for (auto _ : state) benchmark::DoNotOptimize(hcuda_fast_sum2(data.get(), scratch.get(), kPixels));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPixels * sizeof(float));
  state.SetLabel(backend_name());
}
BENCHMARK(BM_FastSum2)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FastSumInplace(benchmark::State& state) {
  DeviceBuffer<float> original = random_image();
  DeviceBuffer<float> data(kPixels);
  for (auto _ : state) {
    state.PauseTiming();
    memcpy_D2D(data.get(), original.get(), data.bytes());
    state.ResumeTiming();
    benchmark::DoNotOptimize(hcuda_fast_sum_inplace(data.get(), kPixels));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPixels * sizeof(float));
  state.SetLabel(backend_name());
}
BENCHMARK(BM_FastSumInplace)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MultiAdd(benchmark::State& state) {
  DeviceBuffer<float> in = random_image();
  DeviceBuffer<float> out(kPixels);
  for (auto _ : state) hcuda_multi_add(out.get(), in.get(), kPixels, 1.5f, -0.25f);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * kPixels * sizeof(float));
  state.SetLabel(backend_name());
}
BENCHMARK(BM_MultiAdd)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
