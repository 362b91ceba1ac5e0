#include "backend/fft_plan.h"

#include <cstddef>

#include "backend/device_failure.h"
#include "backend/fft_staging.h"

#if QUIB_CUDA

#include <cufft.h>

#include <cstdint>

#include "backend/launch.h"

namespace {

constexpr const char* kFftUnit = "cufft";

}  // namespace

bool fft_aligned(const void* p) { return reinterpret_cast<uintptr_t>(p) % sizeof(cufftComplex) == 0; }

int fft_batch_boxes_wanted() { return 16; }

struct FftPlan2d::Impl {
  cufftHandle r2c = 0, c2r = 0;
  bool made = false;
  size_t real_size = 0, half_size = 0;

  ~Impl() {
    if (!made) return;
    cufftDestroy(r2c);
    cufftDestroy(c2r);
  }

  // Transforms count consecutive arrays one after another, staging the misaligned ones.
  template <class In, class Out, class Exec>
  bool transform(In* in, Out* out, size_t in_size, size_t out_size, int count, Exec exec) const {
    char* area = fft_staging_area(in, in_size, out, out_size, count, 1);
    const FftStagingLane<In, Out> lane = fft_staging_lane<In, Out>(area, in_size, out_size, 0);
    for (int k = 0; k < count; ++k)
      if (!fft_transform_aligned(in + k * in_size, out + k * out_size, in_size, out_size, lane, exec)) return false;
    return true;
  }
};

FftPlan2d::FftPlan2d(int nx, int ny) : nx_(nx), ny_(ny), impl_(new Impl) {
  if (nx <= 0 || ny <= 0) {
    QUIB_DEVICE_FAILURE(kFftUnit, "Invalid FFT size");
    return;
  }
  impl_->real_size = static_cast<size_t>(nx) * ny;
  impl_->half_size = static_cast<size_t>(nx / 2 + 1) * ny;
  if (cufftPlan2d(&impl_->r2c, ny, nx, CUFFT_R2C) != CUFFT_SUCCESS) {
    QUIB_DEVICE_FAILURE(kFftUnit, "Cannot make an FFT plan");
    return;
  }
  if (cufftPlan2d(&impl_->c2r, ny, nx, CUFFT_C2R) != CUFFT_SUCCESS) {
    cufftDestroy(impl_->r2c);
    QUIB_DEVICE_FAILURE(kFftUnit, "Cannot make an FFT plan");
    return;
  }
  impl_->made = true;
}

int FftPlan2d::forward(const float* in, float2* out, int count) const {
  const Impl& p = *impl_;
  if (!p.made) return QUIB_DEVICE_FAILURE(kFftUnit, "No FFT plan for this size");
  const bool ok = p.transform(const_cast<float*>(in), out, p.real_size, p.half_size, count, [&](float* a, float2* b) {
    return cufftExecR2C(p.r2c, a, reinterpret_cast<cufftComplex*>(b)) == CUFFT_SUCCESS;
  });
  if (!ok) return QUIB_DEVICE_FAILURE(kFftUnit, "FFT failed");
  return check_launch(__func__);
}

int FftPlan2d::inverse(float2* in, float* out, int count) const {
  const Impl& p = *impl_;
  if (!p.made) return QUIB_DEVICE_FAILURE(kFftUnit, "No FFT plan for this size");
  const bool ok = p.transform(in, out, p.half_size, p.real_size, count, [&](float2* a, float* b) {
    return cufftExecC2R(p.c2r, reinterpret_cast<cufftComplex*>(a), b) == CUFFT_SUCCESS;
  });
  if (!ok) return QUIB_DEVICE_FAILURE(kFftUnit, "FFT failed");
  return check_launch(__func__);
}

#else

#include <fftw3.h>
#include <omp.h>

#include "backend/fftw_wisdom.h"

namespace {

constexpr const char* kFftUnit = "fftw";

fftwf_plan plan_with_flags(int nx, int ny, bool forward, int threads, float* real, fftwf_complex* half,
                           unsigned flags) {
  fftwf_plan_with_nthreads(threads);
  return forward ? fftwf_plan_dft_r2c_2d(ny, nx, real, half, flags) : fftwf_plan_dft_c2r_2d(ny, nx, half, real, flags);
}

// Null when FFTW cannot plan.
fftwf_plan make_plan(FftwWisdomScope& wisdom, int nx, int ny, bool forward, int threads, float* real,
                     fftwf_complex* half) {
  return wisdom.plan(nx, ny,
                     [&](unsigned flags) { return plan_with_flags(nx, ny, forward, threads, real, half, flags); });
}

}  // namespace

// FFTW executes a plan on new arrays only if they are aligned as the planning arrays were.
bool fft_aligned(const void* p) { return fftwf_alignment_of(static_cast<float*>(const_cast<void*>(p))) == 0; }

int fft_batch_boxes_wanted() { return omp_get_max_threads(); }

struct FftPlan2d::Impl {
  // One-thread plans serve batches (one image per OpenMP thread); threaded plans single images.
  fftwf_plan r2c_single = nullptr, c2r_single = nullptr;
  fftwf_plan r2c_threaded = nullptr, c2r_threaded = nullptr;
  size_t real_size = 0, half_size = 0;

  ~Impl() {
    for (fftwf_plan plan : {r2c_single, c2r_single, r2c_threaded, c2r_threaded})
      if (plan) fftwf_destroy_plan(plan);
  }

  bool made() const { return r2c_single && c2r_single && r2c_threaded && c2r_threaded; }

  // Transforms count consecutive arrays: a single one by exec(false, ...) with the threaded plan,
  // a batch by exec(true, ...) spread over the OpenMP threads, each with its own staging lane.
  template <class In, class Out, class Exec>
  void transform(In* in, Out* out, size_t in_size, size_t out_size, int count, Exec exec) const {
    const int lanes = count == 1 ? 1 : omp_get_max_threads();
    char* area = fft_staging_area(in, in_size, out, out_size, count, lanes);
    if (count == 1) {
      fft_transform_aligned(in, out, in_size, out_size, fft_staging_lane<In, Out>(area, in_size, out_size, 0),
                            [&](In* a, Out* b) { return exec(false, a, b); });
      return;
    }
#pragma omp parallel for schedule(dynamic)
    for (int k = 0; k < count; ++k) {
      const FftStagingLane<In, Out> lane = fft_staging_lane<In, Out>(area, in_size, out_size, omp_get_thread_num());
      fft_transform_aligned(in + k * in_size, out + k * out_size, in_size, out_size, lane,
                            [&](In* a, Out* b) { return exec(true, a, b); });
    }
  }
};

FftPlan2d::FftPlan2d(int nx, int ny) : nx_(nx), ny_(ny), impl_(new Impl) {
  if (nx <= 0 || ny <= 0) {
    QUIB_DEVICE_FAILURE(kFftUnit, "Invalid FFT size");
    return;
  }
  impl_->real_size = static_cast<size_t>(nx) * ny;
  impl_->half_size = static_cast<size_t>(nx / 2 + 1) * ny;
  HostBuffer<float> real(impl_->real_size);
  HostBuffer<float2> half(impl_->half_size);
  auto* h = reinterpret_cast<fftwf_complex*>(half.get());
  const int threads = omp_get_max_threads();
  FftwWisdomScope wisdom;
  impl_->r2c_single = make_plan(wisdom, nx, ny, true, 1, real.get(), h);
  impl_->c2r_single = make_plan(wisdom, nx, ny, false, 1, real.get(), h);
  impl_->r2c_threaded = make_plan(wisdom, nx, ny, true, threads, real.get(), h);
  impl_->c2r_threaded = make_plan(wisdom, nx, ny, false, threads, real.get(), h);
  if (!impl_->made()) QUIB_DEVICE_FAILURE(kFftUnit, "Cannot make an FFT plan");
}

int FftPlan2d::forward(const float* in, float2* out, int count) const {
  const Impl& p = *impl_;
  if (!p.made()) return QUIB_DEVICE_FAILURE(kFftUnit, "No FFT plan for this size");
  p.transform(const_cast<float*>(in), out, p.real_size, p.half_size, count, [&](bool batch, float* a, float2* b) {
    fftwf_execute_dft_r2c(batch ? p.r2c_single : p.r2c_threaded, a, reinterpret_cast<fftwf_complex*>(b));
    return true;
  });
  return 0;
}

int FftPlan2d::inverse(float2* in, float* out, int count) const {
  const Impl& p = *impl_;
  if (!p.made()) return QUIB_DEVICE_FAILURE(kFftUnit, "No FFT plan for this size");
  p.transform(in, out, p.half_size, p.real_size, count, [&](bool batch, float2* a, float* b) {
    fftwf_execute_dft_c2r(batch ? p.c2r_single : p.c2r_threaded, reinterpret_cast<fftwf_complex*>(a), b);
    return true;
  });
  return 0;
}

#endif

FftPlan2d::~FftPlan2d() = default;
