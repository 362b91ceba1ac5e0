// Device and host memory: allocation, copies and fills, and the RAII buffers that own them.
// "Device" memory is GPU memory in the CUDA build and ordinary (aligned) host memory otherwise.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// Allocation ends the program with a message when the memory cannot be had; 0 bytes gives null.
// A copy or fill that fails (CUDA build) is recorded as a device failure (device_failure.h).
void* device_alloc_bytes(size_t bytes);
void device_free(void* p);
void* host_alloc_bytes(size_t bytes);
void host_free(void* p);

void memcpy_H2D(void* device_dst, const void* host_src, size_t bytes);
void memcpy_D2H(void* host_dst, const void* device_src, size_t bytes);
void memcpy_D2D(void* device_dst, const void* device_src, size_t bytes);
// Host data for kernels to read: with a GPU they are copied into `device` (room for `bytes`), which
// is returned; without one, device memory is host memory, and `host` itself is returned uncopied.
const void* device_readable(const void* host, void* device, size_t bytes);
// Sets n bytes of device memory to 0.
void hcuda_empty(void* device_data, size_t bytes);

template <class T, void* (*Alloc)(size_t), void (*Free)(void*)>
class OwnedArray {
 public:
  OwnedArray() = default;
  explicit OwnedArray(size_t n) : data_(static_cast<T*>(Alloc(n * sizeof(T)))), size_(n) {}
  ~OwnedArray() { Free(data_); }
  OwnedArray(const OwnedArray&) = delete;
  OwnedArray& operator=(const OwnedArray&) = delete;
  OwnedArray(OwnedArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  OwnedArray& operator=(OwnedArray&& other) noexcept {
    if (this != &other) {
      Free(data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  T* get() const { return data_; }
  size_t size() const { return size_; }
  size_t bytes() const { return size_ * sizeof(T); }

  // Trades memory with an array of another kind whose memory both allocators share (move_H2D).
  template <void* (*OtherAlloc)(size_t), void (*OtherFree)(void*)>
  void trade_memory(OwnedArray<T, OtherAlloc, OtherFree>& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
  }

 private:
  template <class, void* (*)(size_t), void (*)(void*)>
  friend class OwnedArray;

  T* data_ = nullptr;
  size_t size_ = 0;
};

template <class T>
using DeviceBuffer = OwnedArray<T, device_alloc_bytes, device_free>;
template <class T>
using HostBuffer = OwnedArray<T, host_alloc_bytes, host_free>;

// Puts the values of `host` into `device`, of the same size. With a GPU they are copied; without
// one, device memory is host memory from the same allocator, and the two buffers trade their
// memory instead (`host` then holds the device buffer's earlier values).
template <class T>
void move_H2D(DeviceBuffer<T>& device, HostBuffer<T>& host) {
#if QUIB_CUDA
  memcpy_H2D(device.get(), host.get(), host.bytes());
#else
  device.trade_memory(host);
#endif
}

template <class T>
const T* device_readable(const T* host, T* device, size_t n) {
  return static_cast<const T*>(
      device_readable(static_cast<const void*>(host), static_cast<void*>(device), n * sizeof(T)));
}

// A device copy of n host values.
template <class T>
DeviceBuffer<T> device_copy_of(const T* host, size_t n) {
  DeviceBuffer<T> buffer(n);
  memcpy_H2D(buffer.get(), host, n * sizeof(T));
  return buffer;
}

template <class T>
DeviceBuffer<T> device_copy_of(const std::vector<T>& host) {
  return device_copy_of(host.data(), host.size());
}

// A host copy of n device values.
template <class T>
std::vector<T> host_copy_of(const T* device, size_t n) {
  std::vector<T> host(n);
  memcpy_D2H(host.data(), device, n * sizeof(T));
  return host;
}

template <class T>
std::vector<T> host_copy_of(const DeviceBuffer<T>& buffer) {
  return host_copy_of(buffer.get(), buffer.size());
}
