#include "backend/fft_plan.h"

#include <map>
#include <utility>

#include "backend/memory.h"
#include "core/report.h"

#if QUIB_CUDA

#include <cufft.h>

#include "backend/launch.h"

struct FftPlan2d::Impl {
  cufftHandle r2c = 0;
  cufftHandle c2r = 0;
};

FftPlan2d::FftPlan2d(int nx, int ny) : nx_(nx), ny_(ny), impl_(new Impl) {
  if (cufftPlan2d(&impl_->r2c, ny, nx, CUFFT_R2C) != CUFFT_SUCCESS ||
      cufftPlan2d(&impl_->c2r, ny, nx, CUFFT_C2R) != CUFFT_SUCCESS)
    QUIB_FATAL("cuda_fft", "Cannot make an FFT plan");
}

FftPlan2d::~FftPlan2d() {
  cufftDestroy(impl_->r2c);
  cufftDestroy(impl_->c2r);
}

void FftPlan2d::forward(const float* in, float2* out, int count) const {
  const size_t real_size = static_cast<size_t>(nx_) * ny_;
  const size_t half_size = static_cast<size_t>(nx_ / 2 + 1) * ny_;
  for (int k = 0; k < count; ++k) {
    if (cufftExecR2C(impl_->r2c, const_cast<float*>(in) + k * real_size,
                     reinterpret_cast<cufftComplex*>(out + k * half_size)) != CUFFT_SUCCESS)
      QUIB_FATAL("cuda_fft", "FFT failed");
  }
  device_synchronize();
}

void FftPlan2d::inverse(float2* in, float* out, int count) const {
  const size_t real_size = static_cast<size_t>(nx_) * ny_;
  const size_t half_size = static_cast<size_t>(nx_ / 2 + 1) * ny_;
  for (int k = 0; k < count; ++k) {
    if (cufftExecC2R(impl_->c2r, reinterpret_cast<cufftComplex*>(in + k * half_size),
                     out + k * real_size) != CUFFT_SUCCESS)
      QUIB_FATAL("cuda_fft", "FFT failed");
  }
  device_synchronize();
}

#else

#include <fftw3.h>
#include <omp.h>

#include <cstring>

namespace {

// FFTW's planner is not thread-safe; plans are made on the host thread only, but the library is
// told so it stays safe if that ever changes. Threaded plans split one large transform.
void init_fftw() {
  static const bool initialised = [] {
    fftwf_make_planner_thread_safe();
    fftwf_init_threads();
    return true;
  }();
  (void)initialised;
}

// Plans are made with FFTW_ESTIMATE: the chosen algorithm, and so every rounding, is the same
// in every run, which keeps runs with a fixed seed reproducible.
fftwf_plan make_plan(int nx, int ny, bool forward, int threads, float* real, fftwf_complex* half) {
  fftwf_plan_with_nthreads(threads);
  fftwf_plan plan = forward ? fftwf_plan_dft_r2c_2d(ny, nx, real, half, FFTW_ESTIMATE)
                            : fftwf_plan_dft_c2r_2d(ny, nx, half, real, FFTW_ESTIMATE);
  if (!plan) QUIB_FATAL("cuda_fft", "Cannot make an FFT plan");
  return plan;
}

bool is_aligned(const void* p) { return fftwf_alignment_of(static_cast<float*>(const_cast<void*>(p))) == 0; }

}  // namespace

struct FftPlan2d::Impl {
  // One-thread plans serve batches (one image per OpenMP thread); threaded plans single images.
  fftwf_plan r2c_single = nullptr, c2r_single = nullptr;
  fftwf_plan r2c_threaded = nullptr, c2r_threaded = nullptr;
  size_t real_size = 0, half_size = 0;

  // FFTW executes a plan on new arrays only if they are aligned as the planning arrays were;
  // misaligned arrays go through aligned copies.
  void r2c(fftwf_plan plan, const float* in, float2* out) const {
    auto* half = reinterpret_cast<fftwf_complex*>(out);
    if (is_aligned(in) && is_aligned(out)) {
      fftwf_execute_dft_r2c(plan, const_cast<float*>(in), half);
      return;
    }
    HostBuffer<float> a(real_size);
    HostBuffer<float2> b(half_size);
    memcpy(a.get(), in, real_size * sizeof(float));
    fftwf_execute_dft_r2c(plan, a.get(), reinterpret_cast<fftwf_complex*>(b.get()));
    memcpy(out, b.get(), half_size * sizeof(float2));
  }

  void c2r(fftwf_plan plan, float2* in, float* out) const {
    auto* half = reinterpret_cast<fftwf_complex*>(in);
    if (is_aligned(in) && is_aligned(out)) {
      fftwf_execute_dft_c2r(plan, half, out);
      return;
    }
    HostBuffer<float2> a(half_size);
    HostBuffer<float> b(real_size);
    memcpy(a.get(), in, half_size * sizeof(float2));
    fftwf_execute_dft_c2r(plan, reinterpret_cast<fftwf_complex*>(a.get()), b.get());
    memcpy(out, b.get(), real_size * sizeof(float));
  }
};

FftPlan2d::FftPlan2d(int nx, int ny) : nx_(nx), ny_(ny), impl_(new Impl) {
  if (nx <= 0 || ny <= 0) QUIB_FATAL("cuda_fft", "Invalid FFT size");
  init_fftw();
  impl_->real_size = static_cast<size_t>(nx) * ny;
  impl_->half_size = static_cast<size_t>(nx / 2 + 1) * ny;
  HostBuffer<float> real(impl_->real_size);
  HostBuffer<float2> half(impl_->half_size);
  auto* h = reinterpret_cast<fftwf_complex*>(half.get());
  const int threads = omp_get_max_threads();
  impl_->r2c_single = make_plan(nx, ny, true, 1, real.get(), h);
  impl_->c2r_single = make_plan(nx, ny, false, 1, real.get(), h);
  impl_->r2c_threaded = make_plan(nx, ny, true, threads, real.get(), h);
  impl_->c2r_threaded = make_plan(nx, ny, false, threads, real.get(), h);
}

FftPlan2d::~FftPlan2d() {
  fftwf_destroy_plan(impl_->r2c_single);
  fftwf_destroy_plan(impl_->c2r_single);
  fftwf_destroy_plan(impl_->r2c_threaded);
  fftwf_destroy_plan(impl_->c2r_threaded);
}

void FftPlan2d::forward(const float* in, float2* out, int count) const {
  const Impl& p = *impl_;
  if (count == 1) {
    p.r2c(p.r2c_threaded, in, out);
    return;
  }
#pragma omp parallel for schedule(dynamic)
  for (int k = 0; k < count; ++k) p.r2c(p.r2c_single, in + k * p.real_size, out + k * p.half_size);
}

void FftPlan2d::inverse(float2* in, float* out, int count) const {
  const Impl& p = *impl_;
  if (count == 1) {
    p.c2r(p.c2r_threaded, in, out);
    return;
  }
#pragma omp parallel for schedule(dynamic)
  for (int k = 0; k < count; ++k) p.c2r(p.c2r_single, in + k * p.half_size, out + k * p.real_size);
}

#endif

const FftPlan2d& fft_plan_2d(int nx, int ny) {
  static std::map<std::pair<int, int>, std::unique_ptr<FftPlan2d>> plans;
  auto& slot = plans[{nx, ny}];
  if (!slot) slot.reset(new FftPlan2d(nx, ny));
  return *slot;
}
