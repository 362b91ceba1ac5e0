#include "backend/memory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/report.h"

#if QUIB_CUDA
#include <cuda_runtime.h>

#include "backend/device_failure.h"
#endif

namespace {

[[noreturn]] void out_of_memory(const char* function, size_t bytes) {
  char text[128];
  snprintf(text, sizeof text, "Not enough memory for %zu bytes", bytes);
  quib_fatal(function, "memory", __LINE__, text);
}

// Host memory is aligned for the vector loads of the FFT library.
void* aligned_host_alloc(size_t bytes, const char* function) {
  if (bytes == 0) return nullptr;
  const size_t alignment = 64;
  if (bytes > SIZE_MAX - alignment) out_of_memory(function, bytes);
  void* p = std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
  if (!p) out_of_memory(function, bytes);
  return p;
}

#if QUIB_CUDA
// A failed copy or fill is recorded as a device failure; the caller's data are then undefined.
bool check_cuda(cudaError_t status, const char* function) {
  if (status == cudaSuccess) return true;
  record_device_failure(function, "cuda", __LINE__, cudaGetErrorString(status));
  return false;
}
#endif

}  // namespace

void* host_alloc_bytes(size_t bytes) { return aligned_host_alloc(bytes, __func__); }

void host_free(void* p) { std::free(p); }

#if QUIB_CUDA

void* device_alloc_bytes(size_t bytes) {
  if (bytes == 0) return nullptr;
  void* p = nullptr;
  if (cudaMalloc(&p, bytes) != cudaSuccess) out_of_memory(__func__, bytes);
  return p;
}

void device_free(void* p) {
  if (p) cudaFree(p);
}

void memcpy_H2D(void* device_dst, const void* host_src, size_t bytes) {
  if (bytes) check_cuda(cudaMemcpy(device_dst, host_src, bytes, cudaMemcpyHostToDevice), __func__);
}

// A failed read leaves zeros rather than uninitialised host memory behind.
void memcpy_D2H(void* host_dst, const void* device_src, size_t bytes) {
  if (bytes && !check_cuda(cudaMemcpy(host_dst, device_src, bytes, cudaMemcpyDeviceToHost), __func__))
    memset(host_dst, 0, bytes);
}

const void* device_readable(const void* host, void* device, size_t bytes) {
  memcpy_H2D(device, host, bytes);
  return device;
}

void memcpy_D2D(void* device_dst, const void* device_src, size_t bytes) {
  if (bytes) check_cuda(cudaMemcpy(device_dst, device_src, bytes, cudaMemcpyDeviceToDevice), __func__);
}

void hcuda_empty(void* device_data, size_t bytes) {
  if (bytes) check_cuda(cudaMemset(device_data, 0, bytes), __func__);
}

#else

void* device_alloc_bytes(size_t bytes) { return aligned_host_alloc(bytes, __func__); }

void device_free(void* p) { std::free(p); }

void memcpy_H2D(void* device_dst, const void* host_src, size_t bytes) {
  if (bytes) memmove(device_dst, host_src, bytes);
}

void memcpy_D2H(void* host_dst, const void* device_src, size_t bytes) {
  if (bytes) memmove(host_dst, device_src, bytes);
}

const void* device_readable(const void* host, void*, size_t) { return host; }

void memcpy_D2D(void* device_dst, const void* device_src, size_t bytes) {
  if (bytes) memmove(device_dst, device_src, bytes);
}

void hcuda_empty(void* device_data, size_t bytes) {
  if (bytes) memset(device_data, 0, bytes);
}

#endif
