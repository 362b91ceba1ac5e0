// A device buffer kept between calls and grown on demand: the workspace's scratch for the hot
// paths, which run once per micrograph or frame and should not allocate every time.
#pragma once

#include <cstddef>

#include "backend/memory.h"

template <class T>
class GrowingDeviceBuffer {
 public:
  // At least n elements; earlier contents are lost when the buffer grows.
  T* get(size_t n) {
    if (buffer_.size() < n) {
      buffer_ = DeviceBuffer<T>();  // free first, so the old and new buffers never coexist
      buffer_ = DeviceBuffer<T>(n);
    }
    return buffer_.get();
  }

  size_t capacity() const { return buffer_.size(); }

 private:
  DeviceBuffer<T> buffer_;
};
