// Equiphase average, resolution limit and B-factor of one micrograph's 513 x 1024 half spectrum
// (box 1024, oversampling 4: 2049 samples, two spectra), and the two display images. The EPA's
// cost grows with the number of rings, so it is timed at three defocus values. CPU time counts
// every thread.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/ctf_simulate.h"
#include "ctf/display_images.h"
#include "ctf/epa_profile.h"
#include "ctf/resolution_limit.h"

namespace {

constexpr int kBox = 1024, kNh = kBox / 2 + 1, kOv = 4;
constexpr float kApix = 1.0f, kKV = 300.0f, kCs = 2.7f, kAc = 0.1f;
constexpr float kResL = 50.0f, kResH = 2.0f * kApix + 0.1f;
const Optics kOptics = make_optics(kKV, kCs, kAc, kApix);

// A measured-looking pair of spectra (Ln|F| - Bg and Ln|F|) of an astigmatic CTF with noise.
struct Spectra {
  DeviceBuffer<float> subtracted, plain;
  CtfModel model;
};

Spectra make_spectra(float defocus) {
  Spectra s{DeviceBuffer<float>(size_t(kNh) * kBox), DeviceBuffer<float>(size_t(kNh) * kBox),
            CtfModel{defocus + 500.0f, defocus - 500.0f, 30.0f, 0.0f}};
  hcuda_ctf_mod_simulate_2d_half(s.subtracted.get(), kNh, kBox, CtfSampling{kOptics, 100.0f, RESO{1000.0f, kResH}},
                                 s.model);
  std::vector<float> host = host_copy_of(s.subtracted);
  std::mt19937 rng(1);
  std::normal_distribution<float> noise(0.0f, 0.3f);
  std::vector<float> plain(host.size());
  for (size_t i = 0; i < host.size(); ++i) {
    host[i] += noise(rng);
    plain[i] = host[i] + 2.0f - 0.001f * (i % kNh);
  }
  memcpy_H2D(s.subtracted.get(), host.data(), host.size() * sizeof(float));
  memcpy_H2D(s.plain.get(), plain.data(), plain.size() * sizeof(float));
  return s;
}

// Standard output goes to /dev/null while it lives (the stage prints two lines per call).
class QuietStdout {
 public:
  QuietStdout() : saved_(dup(STDOUT_FILENO)) {
    fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~QuietStdout() {
    fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_;
};

void BM_EpaPair(benchmark::State& state) {
  const Spectra s = make_spectra(static_cast<float>(state.range(0)));
  const int M = epa_profile_length(kNh, kOv);
  DeviceBuffer<float> out1(M), out2(M);
  const float* in[2] = {s.subtracted.get(), s.plain.get()};
  float* const out[2] = {out1.get(), out2.get()};
  for (auto _ : state) hcuda_2d_half_EPA_X_res_pair(in, out, kOv, kNh, kBox, kOptics, s.model, RESO{kResL, kResH});
}
BENCHMARK(BM_EpaPair)->Arg(5000)->Arg(15000)->Arg(30000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The whole stage as the driver runs it: both EPAs, the limit, the EPA file, the B-factor.
void BM_ResolutionLimitAndBfactor(benchmark::State& state) {
  const Spectra s = make_spectra(static_cast<float>(state.range(0)));
  char dir[] = "/tmp/quib_bench_epa_XXXXXX";
  if (!mkdtemp(dir)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string micrograph = std::string(dir) + "/micrograph.mrc";
  FILE* log = fopen("/dev/null", "w");
  const ResolutionSettings settings{EpaSettings{kOv, 20.0f, RESO{kResL, kResH}}, 1, RESO{15.0f, 6.0f}};
  float R = 0.0f;
  {
    QuietStdout quiet;
    for (auto _ : state)
      R = ctf_epa_1d_ccf_B_estimation(s.subtracted.get(), s.plain.get(), kNh, kBox, kOptics, s.model, settings,
                                      EpaOutput{micrograph.c_str(), log})
              .resolution;
  }
  fclose(log);
  state.counters["resolution"] = R;
  remove((std::string(dir) + "/micrograph_EPA.log").c_str());
  rmdir(dir);
}
BENCHMARK(BM_ResolutionLimitAndBfactor)
    ->Arg(5000)
    ->Arg(15000)
    ->Arg(30000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

void BM_EpaImage(benchmark::State& state) {
  const Spectra s = make_spectra(15000.0f);
  DeviceBuffer<float> out(size_t(kNh) * kBox);
  for (auto _ : state)
    hcuda_2d_half_EPA(s.subtracted.get(), out.get(), kNh, kBox, kOptics, s.model, RESO{100.0f, kResH});
}
BENCHMARK(BM_EpaImage)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_RotationalAverageImage(benchmark::State& state) {
  const Spectra s = make_spectra(15000.0f);
  DeviceBuffer<float> out(size_t(kNh) * kBox);
  for (auto _ : state)
    hcuda_2d_half_basic_rotate_ave_res(s.subtracted.get(), out.get(), kApix, kNh, kBox, RESO{kResL, 4.0f});
}
BENCHMARK(BM_RotationalAverageImage)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
