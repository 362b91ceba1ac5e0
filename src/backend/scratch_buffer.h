// A device buffer kept between calls and grown on demand: the scratch of the spectrum hot paths,
// which run once per micrograph or frame and should not allocate every time.
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

 private:
  DeviceBuffer<T> buffer_;
};
