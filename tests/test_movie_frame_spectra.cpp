// Window sums of movie frame spectra: spectra kept once per movie give every window the same sum,
// bit for bit, as transforming each of its frames again, and the ring is kept only when it fits.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "arrays/array_fill.h"
#include "arrays/array_ops_1d.h"
#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/movie_frame_spectra.h"
#include "ctf/movie_refine.h"
#include "ctf/random_seed.h"
#include "simulate/simulate.h"
#include "spectrum/spectrum_grid.h"
#include "test_util.h"

namespace {

constexpr int kSide = 384, kFrames = 7, kBox = 128, kStep = 64;
constexpr size_t kSpectrum = static_cast<size_t>(kBox / 2 + 1) * kBox;

std::vector<float> simulated_movie() {
  SimParams p;
  p.nx = p.ny = kSide;
  p.nz = kFrames;
  p.apix = 1.0f;
  p.defU = 12000.0f;
  p.defV = 12600.0f;
  p.drift = 40.0f;
  p.seed = 3;
  return simulate_micrograph(p).frames;
}

// The straightforward sum: every frame of the window uploaded and transformed on its own.
std::vector<float> retransformed_sum(const std::vector<float>& movie, int first, int window) {
  const size_t pixels = static_cast<size_t>(kSide) * kSide;
  DeviceBuffer<float> sum(kSpectrum), spectrum(kSpectrum);
  hcuda_empty_float(sum.get(), kSpectrum);
  for (int f = first; f < first + window; ++f) {
    const DeviceBuffer<float> frame = device_copy_of(movie.data() + f * pixels, pixels);
    hcuda_2d_gridfft_r2c_amp_ave(frame.get(), spectrum.get(), kSide, kSide, kBox, kBox, kStep, 0);
    hcuda_addto_float(sum.get(), spectrum.get(), kSpectrum);
  }
  return host_copy_of(sum);
}

std::vector<float> window_sum(FrameSpectra& spectra, int first) {
  DeviceBuffer<float> sum(kSpectrum);
  hcuda_empty_float(sum.get(), kSpectrum);
  for (int f = first; f < first + spectra.window; ++f) add_frame_spectrum(spectra, f, sum.get());
  return host_copy_of(sum);
}

TEST(MovieFrameSpectra, KeptSpectraSumEveryWindowBitForBitLikeRetransformedFrames) {
  const std::vector<float> movie = simulated_movie();
  const MovieFrames frames{movie.data(), kSide, kSide, kFrames};
  const FrameGrid grid{kBox, kStep};
  for (const int window : {1, 3, kFrames}) {
    const size_t ring = kept_spectra_bytes(grid, window);
    FrameSpectra kept = frame_spectra(frames, grid, window, ring);
    FrameSpectra recomputed = frame_spectra(frames, grid, window, ring - 1);
    EXPECT_EQ(kept.keeps_spectra, window > 1);
    EXPECT_FALSE(recomputed.keeps_spectra);
    for (int first = 0; first + window <= kFrames; ++first) {
      const std::vector<float> expected = retransformed_sum(movie, first, window);
      const std::vector<float> from_kept = window_sum(kept, first);
      const std::vector<float> from_recomputed = window_sum(recomputed, first);
      ASSERT_EQ(memcmp(from_kept.data(), expected.data(), kSpectrum * sizeof(float)), 0) << window << " " << first;
      ASSERT_EQ(memcmp(from_recomputed.data(), expected.data(), kSpectrum * sizeof(float)), 0)
          << window << " " << first;
    }
    if (kept.keeps_spectra) {
      EXPECT_EQ(kept.transformed, kFrames) << "each frame transformed once";
    }
  }
}

std::vector<MovieWindowFit> refined_windows(const std::vector<float>& movie, size_t spectra_memory) {
  MovieRefineSettings s{};
  s.grid = FrameGrid{kBox, kStep};
  s.convsize = kBox / 12;
  s.fit = CtfSampling{make_optics(300.0f, 2.7f, 0.1f, 1.0f), 100.0f, RESO{30.0f, 5.0f}};
  s.defocus_step = 50.0f;
  s.window = 3;
  s.refine_astigmatism = true;
  s.spectra_memory = spectra_memory;
  quib_set_fixed_seed(2);
  std::vector<MovieWindowFit> windows;
  captured_stdout([&] {
    windows = ctf_movie_stack_refine(MovieFrames{movie.data(), kSide, kSide, kFrames},
                                     CtfFit{CtfModel{12100, 12500, 0, 0}, 0.1f}, s, nullptr);
  });
  quib_clear_fixed_seed();
  return windows;
}

TEST(MovieFrameSpectra, WindowsRefineAlikeWhetherSpectraAreKeptOrNot) {
  const std::vector<float> movie = simulated_movie();
  const std::vector<MovieWindowFit> kept = refined_windows(movie, 1u << 30);
  const std::vector<MovieWindowFit> recomputed = refined_windows(movie, 0);
  ASSERT_EQ(kept.size(), kFrames - 2u);
  ASSERT_EQ(recomputed.size(), kept.size());
  for (size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(kept[i].centre, static_cast<int>(i) + 1);
    EXPECT_EQ(kept[i].centre, recomputed[i].centre);
    EXPECT_EQ(kept[i].fit.model.defocus_u, recomputed[i].fit.model.defocus_u);
    EXPECT_EQ(kept[i].fit.model.defocus_v, recomputed[i].fit.model.defocus_v);
    EXPECT_EQ(kept[i].fit.model.angle, recomputed[i].fit.model.angle);
    EXPECT_EQ(kept[i].fit.ccc, recomputed[i].fit.ccc);
  }
}

}  // namespace
