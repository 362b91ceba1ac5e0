// Kernel launches. The only header that knows which backend is built: in the CUDA build a launch
// is a __global__ kernel on the default stream, otherwise a parallel loop over host memory.
// Host code reads results only through the copies of memory.h, which wait for earlier launches.
// The CUDA build waits after every launch unless built with QUIB_SYNC_LAUNCHES=OFF; a failed launch
// is recorded as a device failure (device_failure.h) rather than ending the process.
// Include it only from library sources that contain kernels (compiled as CUDA in the CUDA build).
#pragma once

#include <cstddef>

#include "core/hd.h"

#if QUIB_CUDA
#ifndef __CUDACC__
#error "backend/launch.h must be compiled by nvcc in the CUDA build"
#endif
#include <cuda_runtime.h>
#endif

// Blocks the tree sums work on; a reduction pass turns n values into ceil(n / width) totals.
constexpr unsigned kTreeWidth = 1024;
constexpr unsigned kTreeWidth2 = 2048;

inline size_t tree_block_count(size_t n, size_t width) { return (n + width - 1) / width; }

#if QUIB_CUDA

template <class F>
__global__ void quib_kernel_1d(size_t n, F f) {
  const size_t i = blockIdx.x * static_cast<size_t>(blockDim.x) + threadIdx.x;
  if (i < n) f(i);
}

template <class F>
__global__ void quib_kernel_2d(int nx, int ny, F f) {
  const int x = blockIdx.x * blockDim.x + threadIdx.x;
  const int y = blockIdx.y * blockDim.y + threadIdx.y;
  if (x < nx && y < ny) f(x, y);
}

template <class F>
__global__ void quib_kernel_tree_1024(size_t n, float* totals, F f) {
  __shared__ float a[kTreeWidth];
  const unsigned t = threadIdx.x;
  const size_t i = blockIdx.x * static_cast<size_t>(kTreeWidth) + t;
  a[t] = i < n ? f(i) : 0.0f;
  __syncthreads();
  for (unsigned s = 1; s < kTreeWidth; s *= 2) {
    if (t % (2 * s) == 0) a[t] += a[t + s];
    __syncthreads();
  }
  if (t == 0) totals[blockIdx.x] = a[0];
}

template <class F>
__global__ void quib_kernel_tree_2048(size_t n, float* totals, F f) {
  __shared__ float a[kTreeWidth];
  const unsigned t = threadIdx.x;
  const size_t i = blockIdx.x * static_cast<size_t>(kTreeWidth2) + t;
  a[t] = (i < n ? f(i) : 0.0f) + (i + kTreeWidth < n ? f(i + kTreeWidth) : 0.0f);
  __syncthreads();
  for (unsigned s = kTreeWidth / 2; s > 0; s /= 2) {
    if (t < s) a[t] += a[t + s];
    __syncthreads();
  }
  if (t == 0) totals[blockIdx.x] = a[0];
}

// 0 after a successful launch (and, with QUIB_SYNC_LAUNCHES, its completion); otherwise records a
// device failure under the name `what` and returns -1.
int check_launch(const char* what);

// One call of f(i) for every i < n.
template <class F>
void launch_1d(size_t n, F f) {
  if (n == 0) return;
  const unsigned threads = 256;
  quib_kernel_1d<<<static_cast<unsigned>((n + threads - 1) / threads), threads>>>(n, f);
  check_launch("launch_1d");
}

// One call of f(x, y) for every pixel of an nx x ny image.
template <class F>
void launch_2d(int nx, int ny, F f) {
  if (nx <= 0 || ny <= 0) return;
  const dim3 threads(16, 16);
  const dim3 blocks((nx + 15) / 16, (ny + 15) / 16);
  quib_kernel_2d<<<blocks, threads>>>(nx, ny, f);
  check_launch("launch_2d");
}

// Sums f(i), i < n, in consecutive blocks of 1024 values (the last padded with zeros) by the fixed
// tree: for s = 1, 2, ..., 512 every position j that is a multiple of 2s receives a[j] += a[j + s].
// Writes one total per block, in block order, into totals (device, tree_block_count(n, 1024) floats).
template <class F>
void launch_tree_sums_1024(size_t n, float* totals, F f) {
  if (n == 0) return;
  quib_kernel_tree_1024<<<static_cast<unsigned>(tree_block_count(n, kTreeWidth)), kTreeWidth>>>(n, totals, f);
  check_launch("launch_tree_sums_1024");
}

// Blocks of 2048: position t first holds f(t) + f(t + 1024) (zero past the end), then the 1024 pair
// sums are folded by halving: for s = 512, 256, ..., 1, a[j] += a[j + s] for j < s.
template <class F>
void launch_tree_sums_2048(size_t n, float* totals, F f) {
  if (n == 0) return;
  quib_kernel_tree_2048<<<static_cast<unsigned>(tree_block_count(n, kTreeWidth2)), kTreeWidth>>>(n, totals, f);
  check_launch("launch_tree_sums_2048");
}

#else  // CPU backend

#include "backend/cpu_loops.h"

// The 1024-wide tree as contiguous levels: level k holds the pair sums of level k - 1, which are
// exactly the partial sums the strided tree keeps at multiples of 2^k, added in the same order.
inline float pairwise_tree_total(float* a) {
  float b[kTreeWidth / 2];
  float* from = a;
  float* to = b;
  for (unsigned m = kTreeWidth / 2; m >= 1; m /= 2) {
    for (unsigned k = 0; k < m; ++k) to[k] = from[2 * k] + from[2 * k + 1];
    float* t = from;
    from = to;
    to = t;
  }
  return from[0];
}

template <class F>
void launch_1d(size_t n, F f) {
  const long long count = static_cast<long long>(n);
  parallel_for(count, count > 8192, [=](long long i) { f(static_cast<size_t>(i)); });
}

template <class F>
void launch_2d(int nx, int ny, F f) {
  if (nx <= 0 || ny <= 0) return;
  parallel_for(ny, static_cast<long long>(nx) * ny > 8192, [=](long long y) {
    for (int x = 0; x < nx; ++x) f(x, static_cast<int>(y));
  });
}

template <class F>
void launch_tree_sums_1024(size_t n, float* totals, F f) {
  const long long blocks = static_cast<long long>(tree_block_count(n, kTreeWidth));
  parallel_for(blocks, blocks > 8, [=](long long b) {
    float a[kTreeWidth];
    const size_t first = static_cast<size_t>(b) * kTreeWidth;
    if (first + kTreeWidth <= n) {
      for (unsigned t = 0; t < kTreeWidth; ++t) a[t] = f(first + t);  // full block: no test, vectorises
    } else {
      for (unsigned t = 0; t < kTreeWidth; ++t) a[t] = first + t < n ? f(first + t) : 0.0f;
    }
    totals[b] = pairwise_tree_total(a);
  });
}

template <class F>
void launch_tree_sums_2048(size_t n, float* totals, F f) {
  const long long blocks = static_cast<long long>(tree_block_count(n, kTreeWidth2));
  parallel_for(blocks, blocks > 8, [=](long long b) {
    float a[kTreeWidth];
    const size_t first = static_cast<size_t>(b) * kTreeWidth2;
    for (unsigned t = 0; t < kTreeWidth; ++t) {
      const size_t i = first + t;
      a[t] = (i < n ? f(i) : 0.0f) + (i + kTreeWidth < n ? f(i + kTreeWidth) : 0.0f);
    }
    for (unsigned s = kTreeWidth / 2; s > 0; s /= 2)
      for (unsigned j = 0; j < s; ++j) a[j] += a[j + s];
    totals[b] = a[0];
  });
}

#endif
