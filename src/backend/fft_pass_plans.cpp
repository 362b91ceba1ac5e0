#include "backend/fft_pass_plans.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "backend/device_failure.h"
#include "backend/fft_staging.h"
#include "backend/workspace.h"

namespace {

bool valid_shape(int n, int count, int in_step, int out_step, int in_least, int out_least) {
  return n > 0 && count > 0 && in_step >= in_least && out_step >= out_least;
}

}  // namespace

#if QUIB_CUDA

#include <cufft.h>

#include "backend/launch.h"

namespace {

constexpr const char* kFftUnit = "cufft";

struct CufftPlan {
  cufftHandle handle = 0;
  bool made = false;

  ~CufftPlan() {
    if (made) cufftDestroy(handle);
  }
};

// A batch of 1D transforms: element m of transform k at k distance + m stride, in and out.
void make_many(CufftPlan& plan, int n, int count, int in_stride, int in_distance, int out_stride, int out_distance,
               cufftType type) {
  int in_embed = n * in_stride, out_embed = n * out_stride;
  plan.made = cufftPlanMany(&plan.handle, 1, &n, &in_embed, in_stride, in_distance, &out_embed, out_stride,
                            out_distance, type, count) == CUFFT_SUCCESS;
  if (!plan.made) QUIB_DEVICE_FAILURE(kFftUnit, "Cannot make an FFT plan");
}

}  // namespace

bool fft_passes_wanted() { return false; }

struct FftRowsPlan::Impl : CufftPlan {};
struct FftColumnsPlan::Impl : CufftPlan {};

FftRowsPlan::FftRowsPlan(int n, int rows, int in_distance, int out_distance) : impl_(new Impl) {
  if (!valid_shape(n, rows, in_distance, out_distance, n, n / 2 + 1)) {
    QUIB_DEVICE_FAILURE(kFftUnit, "Invalid FFT size");
    return;
  }
  make_many(*impl_, n, rows, 1, in_distance, 1, out_distance, CUFFT_R2C);
}

int FftRowsPlan::forward(const float* in, float2* out) const {
  if (!impl_->made) return QUIB_DEVICE_FAILURE(kFftUnit, "No FFT plan for this size");
  if (!fft_aligned(in) || !fft_aligned(out)) return QUIB_DEVICE_FAILURE(kFftUnit, "FFT arrays are not aligned");
  if (cufftExecR2C(impl_->handle, const_cast<float*>(in), reinterpret_cast<cufftComplex*>(out)) != CUFFT_SUCCESS)
    return QUIB_DEVICE_FAILURE(kFftUnit, "FFT failed");
  return check_launch(__func__);
}

FftColumnsPlan::FftColumnsPlan(int n, int columns, int in_stride, int out_stride) : impl_(new Impl) {
  if (!valid_shape(n, columns, in_stride, out_stride, 1, 1)) {
    QUIB_DEVICE_FAILURE(kFftUnit, "Invalid FFT size");
    return;
  }
  make_many(*impl_, n, columns, in_stride, 1, out_stride, 1, CUFFT_C2C);
}

int FftColumnsPlan::forward(const float2* in, size_t in_distance, float2* out, size_t out_distance, int count) const {
  if (!impl_->made) return QUIB_DEVICE_FAILURE(kFftUnit, "No FFT plan for this size");
  for (int k = 0; k < count; ++k) {
    auto* a = reinterpret_cast<cufftComplex*>(const_cast<float2*>(in + k * in_distance));
    auto* b = reinterpret_cast<cufftComplex*>(out + k * out_distance);
    if (!fft_aligned(a) || !fft_aligned(b)) return QUIB_DEVICE_FAILURE(kFftUnit, "FFT arrays are not aligned");
    if (cufftExecC2C(impl_->handle, a, b, CUFFT_FORWARD) != CUFFT_SUCCESS)
      return QUIB_DEVICE_FAILURE(kFftUnit, "FFT failed");
  }
  return check_launch(__func__);
}

#else

#include <fftw3.h>
#include <omp.h>

#include <cstring>
#include <functional>
#include <utility>

#include "backend/fftw_wisdom.h"
#include "backend/memory.h"

namespace {

constexpr const char* kFftUnit = "fftw";

using MakePlan = std::function<fftwf_plan(unsigned flags)>;

// One plan shape in two forms: for arrays aligned as FFTW wants them, made at once, and for arrays
// anywhere (FFTW_UNALIGNED, without aligned vector loads), made when first needed. Both come
// through the wisdom file; size_x x size_y names the shape when it is measured.
class FftwPlanForms {
 public:
  FftwPlanForms(int size_x, int size_y, MakePlan make)
      : size_x_(size_x), size_y_(size_y), make_(std::move(make)), aligned_(plan(0)) {
    if (!aligned_) QUIB_DEVICE_FAILURE(kFftUnit, "Cannot make an FFT plan");
  }
  ~FftwPlanForms() {
    for (fftwf_plan p : {aligned_, unaligned_})
      if (p) fftwf_destroy_plan(p);
  }
  FftwPlanForms(const FftwPlanForms&) = delete;
  FftwPlanForms& operator=(const FftwPlanForms&) = delete;

  // The form for the arrays at hand, or null (recorded as a device failure) when FFTW cannot plan it.
  // Call it on the workspace's thread.
  fftwf_plan for_arrays(bool aligned) const {
    if (aligned || !aligned_) return aligned_;
    if (!unaligned_ && !(unaligned_ = plan(FFTW_UNALIGNED))) QUIB_DEVICE_FAILURE(kFftUnit, "Cannot make an FFT plan");
    return unaligned_;
  }

 private:
  fftwf_plan plan(unsigned extra_flags) const {
    FftwWisdomScope wisdom;
    return wisdom.plan(size_x_, size_y_, [&](unsigned flags) { return make_(flags | extra_flags); });
  }

  int size_x_, size_y_;
  MakePlan make_;
  fftwf_plan aligned_;
  mutable fftwf_plan unaligned_ = nullptr;
};

fftwf_complex* as_fftw(const float2* p) { return reinterpret_cast<fftwf_complex*>(const_cast<float2*>(p)); }

// Values spanned by `count` arrays of `size` values, `distance` apart.
size_t span(int count, int distance, int size) { return static_cast<size_t>(count - 1) * distance + size; }

}  // namespace

bool fft_passes_wanted() { return true; }

struct FftRowsPlan::Impl : FftwPlanForms {
  using FftwPlanForms::FftwPlanForms;
};

// The in-place plans of one column shape for ranges of its columns, by width: the whole width
// made with the plan, narrower ones when first needed.
struct FftColumnsPlan::Impl {
  int n, columns, in_stride, out_stride;
  mutable std::map<int, std::unique_ptr<FftwPlanForms>> by_width;

  const FftwPlanForms& plans(int width) const {
    std::unique_ptr<FftwPlanForms>& slot = by_width[width];
    if (!slot)
      slot = std::make_unique<FftwPlanForms>(width, n, [n = n, width, stride = out_stride](unsigned flags) {
        HostBuffer<float2> data(span(n, stride, width));
        fftwf_plan_with_nthreads(1);
        return fftwf_plan_many_dft(1, &n, width, as_fftw(data.get()), nullptr, stride, 1, as_fftw(data.get()), nullptr,
                                   stride, 1, FFTW_FORWARD, flags);
      });
    return *slot;
  }
};

FftRowsPlan::FftRowsPlan(int n, int rows, int in_distance, int out_distance) {
  if (!valid_shape(n, rows, in_distance, out_distance, n, n / 2 + 1)) {
    QUIB_DEVICE_FAILURE(kFftUnit, "Invalid FFT size");
    return;
  }
  const int threads = omp_get_max_threads();
  impl_ = std::make_unique<Impl>(n, rows, [=](unsigned flags) {
    HostBuffer<float> real(span(rows, in_distance, n));
    HostBuffer<float2> half(span(rows, out_distance, n / 2 + 1));
    fftwf_plan_with_nthreads(threads);
    return fftwf_plan_many_dft_r2c(1, &n, rows, real.get(), nullptr, 1, in_distance, as_fftw(half.get()), nullptr, 1,
                                   out_distance, flags);
  });
}

int FftRowsPlan::forward(const float* in, float2* out) const {
  if (!impl_) return QUIB_DEVICE_FAILURE(kFftUnit, "No FFT plan for this size");
  const fftwf_plan plan = impl_->for_arrays(fft_aligned(in) && fft_aligned(out));
  if (!plan) return -1;
  fftwf_execute_dft_r2c(plan, const_cast<float*>(in), as_fftw(out));
  return 0;
}

FftColumnsPlan::FftColumnsPlan(int n, int columns, int in_stride, int out_stride) {
  if (!valid_shape(n, columns, in_stride, out_stride, 1, 1)) {
    QUIB_DEVICE_FAILURE(kFftUnit, "Invalid FFT size");
    return;
  }
  impl_.reset(new Impl{n, columns, in_stride, out_stride, {}});
  impl_->plans(columns);
}

// Each block is copied to its output and transformed there in place: FFTW's in-place transforms of
// strided columns run several times faster than out-of-place ones that must keep their input.
// With fewer blocks than cores, each block's columns are shared out, so that no core waits.
int FftColumnsPlan::forward(const float2* in, size_t in_distance, float2* out, size_t out_distance, int count) const {
  if (!impl_) return QUIB_DEVICE_FAILURE(kFftUnit, "No FFT plan for this size");
  const Impl& p = *impl_;
  const int threads = omp_get_max_threads();
  const int parts = count > 0 && count < threads ? std::min(threads / count, p.columns) : 1;
  const auto first_column = [&](int part) {
    return static_cast<int>(static_cast<long long>(part) * p.columns / parts);
  };
  std::vector<fftwf_plan> plans(parts);
  for (int part = 0; part < parts; ++part) {
    const int first = first_column(part), width = first_column(part + 1) - first;
    bool aligned = true;
    for (int k = 0; k < count; ++k) aligned = aligned && fft_aligned(out + k * out_distance + first);
    if (!(plans[part] = p.plans(width).for_arrays(aligned))) return -1;
  }
#pragma omp parallel for schedule(dynamic)
  for (int item = 0; item < count * parts; ++item) {
    const int k = item / parts, part = item % parts;
    const int first = first_column(part), width = first_column(part + 1) - first;
    const float2* from = in + k * in_distance + first;
    float2* to = out + k * out_distance + first;
    for (int m = 0; m < p.n; ++m)
      memcpy(to + static_cast<size_t>(m) * p.out_stride, from + static_cast<size_t>(m) * p.in_stride,
             width * sizeof(float2));
    fftwf_execute_dft(plans[part], as_fftw(to), as_fftw(to));
  }
  return 0;
}

#endif

namespace {

template <class Plan>
struct WorkspacePlans {
  std::map<std::array<int, 4>, std::unique_ptr<Plan>> by_shape;
};

template <class Plan>
const Plan& workspace_plan(int a, int b, int c, int d) {
  std::unique_ptr<Plan>& slot = workspace().attachment<WorkspacePlans<Plan>>().by_shape[{a, b, c, d}];
  if (!slot) slot = std::make_unique<Plan>(a, b, c, d);
  return *slot;
}

}  // namespace

FftRowsPlan::~FftRowsPlan() = default;
FftColumnsPlan::~FftColumnsPlan() = default;

const FftRowsPlan& fft_rows_plan(int n, int rows, int in_distance, int out_distance) {
  return workspace_plan<FftRowsPlan>(n, rows, in_distance, out_distance);
}

const FftColumnsPlan& fft_columns_plan(int n, int columns, int in_stride, int out_stride) {
  return workspace_plan<FftColumnsPlan>(n, columns, in_stride, out_stride);
}
