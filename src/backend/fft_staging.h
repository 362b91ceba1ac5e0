// Aligned staging for FFT arrays the FFT library cannot take as they are: a misaligned input is
// copied into workspace scratch before the transform, a misaligned output is written there and
// copied out after. Each concurrent transform uses its own lane of the staging area.
#pragma once

#include <cstddef>

#include "backend/memory.h"
#include "backend/workspace.h"

// Whether the FFT library accepts the array at p (defined by each backend in fft_plan.cpp).
bool fft_aligned(const void* p);

template <class In, class Out>
struct FftStagingLane {
  In* in;
  Out* out;
};

namespace fft_staging {

struct Tag {};

// Lanes and the arrays in them start on 64-byte boundaries, as the scratch itself does.
inline size_t padded_bytes(size_t bytes) { return (bytes + 63) / 64 * 64; }

inline bool all_aligned(const void* first, size_t stride_bytes, int count) {
  for (int k = 0; k < count; ++k)
    if (!fft_aligned(static_cast<const char*>(first) + k * stride_bytes)) return false;
  return true;
}

template <class In, class Out>
size_t lane_bytes(size_t in_size, size_t out_size) {
  return padded_bytes(in_size * sizeof(In)) + padded_bytes(out_size * sizeof(Out));
}

}  // namespace fft_staging

// Staging for `lanes` transforms of count consecutive arrays (in_size In values into out_size Out
// values each), or null when every array is aligned. Call it on the workspace's thread.
template <class In, class Out>
char* fft_staging_area(const In* in, size_t in_size, const Out* out, size_t out_size, int count, int lanes) {
  if (fft_staging::all_aligned(in, in_size * sizeof(In), count) &&
      fft_staging::all_aligned(out, out_size * sizeof(Out), count))
    return nullptr;
  return workspace().scratch<fft_staging::Tag, char>(lanes * fft_staging::lane_bytes<In, Out>(in_size, out_size));
}

template <class In, class Out>
FftStagingLane<In, Out> fft_staging_lane(char* area, size_t in_size, size_t out_size, int lane) {
  if (!area) return {nullptr, nullptr};
  char* base = area + lane * fft_staging::lane_bytes<In, Out>(in_size, out_size);
  return {reinterpret_cast<In*>(base), reinterpret_cast<Out*>(base + fft_staging::padded_bytes(in_size * sizeof(In)))};
}

// Runs exec(in, out) -> bool on arrays the FFT library accepts, staging through lane what it does not.
template <class In, class Out, class Exec>
bool fft_transform_aligned(In* in, Out* out, size_t in_size, size_t out_size, FftStagingLane<In, Out> lane, Exec exec) {
  In* a = in;
  if (!fft_aligned(in)) {
    memcpy_D2D(lane.in, in, in_size * sizeof(In));
    a = lane.in;
  }
  Out* b = fft_aligned(out) ? out : lane.out;
  const bool ok = exec(a, b);
  if (b != out) memcpy_D2D(out, b, out_size * sizeof(Out));
  return ok;
}
