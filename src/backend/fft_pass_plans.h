// Batched 1D single-precision FFT plans over device memory, for building a 2D forward transform
// pass by pass: real-to-complex transforms along rows, then complex transforms along columns.
// Rows and columns are addressed with strides, so a pass reads straight from a larger image and
// writes where the next pass wants it. Transforms are unnormalised and keep the FFT order of
// FftPlan2d. A failure (including a plan that could not be made) is recorded as a device failure
// (device_failure.h) and the transform returns -1; otherwise it returns 0.
#pragma once

#include <cstddef>
#include <memory>

#include "backend/float2.h"

// Whether gridded spectra should be built from shared row transforms (the CPU backend) rather than
// from batches of whole 2D box transforms (the GPU backend, whose batches fill the device).
bool fft_passes_wanted();

// `rows` real rows of n values, row k at in + k in_distance, each into its n/2 + 1 complex values
// at out + k out_distance. The transforms are spread over the cores.
class FftRowsPlan {
 public:
  FftRowsPlan(int n, int rows, int in_distance, int out_distance);
  ~FftRowsPlan();
  FftRowsPlan(const FftRowsPlan&) = delete;
  FftRowsPlan& operator=(const FftRowsPlan&) = delete;

  int forward(const float* in, float2* out) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Forward complex transforms of `columns` columns of n values: value m of column c at
// in + c + m in_stride, its transform at out + c + m out_stride.
class FftColumnsPlan {
 public:
  FftColumnsPlan(int n, int columns, int in_stride, int out_stride);
  ~FftColumnsPlan();
  FftColumnsPlan(const FftColumnsPlan&) = delete;
  FftColumnsPlan& operator=(const FftColumnsPlan&) = delete;

  // Transforms `count` blocks of columns, block k at in + k in_distance into out + k out_distance,
  // spread over the cores (one block per core at a time). The input stays as it was.
  int forward(const float2* in, size_t in_distance, float2* out, size_t out_distance, int count) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The calling thread's workspace plans of these shapes, made on first use.
const FftRowsPlan& fft_rows_plan(int n, int rows, int in_distance, int out_distance);
const FftColumnsPlan& fft_columns_plan(int n, int columns, int in_stride, int out_stride);
