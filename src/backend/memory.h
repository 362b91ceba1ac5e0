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

 private:
  T* data_ = nullptr;
  size_t size_ = 0;
};

template <class T>
using DeviceBuffer = OwnedArray<T, device_alloc_bytes, device_free>;
template <class T>
using HostBuffer = OwnedArray<T, host_alloc_bytes, host_free>;

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
