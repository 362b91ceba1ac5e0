// 2D single-precision FFT plans over device memory: forward real-to-complex and inverse
// complex-to-real, both unnormalised (a forward and an inverse transform in turn multiply by nx*ny).
// An image has ny rows of nx columns; its transform has ny rows of nx/2 + 1 complex columns,
// kx = column, ky = row for row < (ny + 1)/2 and row - ny after (the usual FFT order).
// Any device pointers may be given: arrays the FFT library cannot take as they are (cuFFT wants
// 8-byte alignment, FFTW the alignment it planned with) go through aligned workspace scratch.
// A failure (including a plan that could not be made) is recorded as a device failure
// (device_failure.h) and the transform returns -1; otherwise it returns 0.
#pragma once

#include <memory>

#include "backend/float2.h"

// How many images a batched transform should take at once: on the GPU many, so that one launch
// fills the device; on the CPU one per core, so that a batch stays in the processor's cache between
// cutting the images, transforming them and using the transforms.
int fft_batch_boxes_wanted();

class FftPlan2d {
 public:
  // A plan that cannot be made (for instance for a size below 1) is recorded as a device failure;
  // its transforms then fail.
  FftPlan2d(int nx, int ny);
  ~FftPlan2d();
  FftPlan2d(const FftPlan2d&) = delete;
  FftPlan2d& operator=(const FftPlan2d&) = delete;

  // Transforms `count` consecutive images (nx*ny floats each) into consecutive half-complex arrays.
  int forward(const float* in, float2* out, int count = 1) const;
  // The inverse of `count` consecutive half-complex arrays; the input may be overwritten.
  int inverse(float2* in, float* out, int count = 1) const;

  int nx() const { return nx_; }
  int ny() const { return ny_; }

 private:
  struct Impl;
  int nx_;
  int ny_;
  std::unique_ptr<Impl> impl_;
};
