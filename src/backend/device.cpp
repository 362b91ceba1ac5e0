#include "backend/device.h"

#include <unistd.h>

#include <cstdio>

#include "backend/launch.h"
#include "core/report.h"

#if QUIB_CUDA

#include "backend/device_failure.h"

int check_and_set_gid(int& gid) {
  int count = 0;
  if (cudaGetDeviceCount(&count) != cudaSuccess || count <= 0) {
    printf("Warning: no GPU device found!\n");
    return -1;
  }
  if (gid >= 0 && gid < count) return 0;
  int best = 0, best_major = -1, best_minor = -1;
  for (int d = 0; d < count; ++d) {
    cudaDeviceProp prop;
    if (cudaGetDeviceProperties(&prop, d) != cudaSuccess) continue;
    if (prop.major > best_major || (prop.major == best_major && prop.minor > best_minor)) {
      best = d;
      best_major = prop.major;
      best_minor = prop.minor;
    }
  }
  gid = best;
  return cudaSetDevice(gid) == cudaSuccess ? 0 : -1;
}

void select_device(int gid) {
  if (cudaSetDevice(gid) != cudaSuccess) QUIB_FATAL("cuda", "Cannot select the GPU device");
}

size_t device_memory_available() {
  size_t free_bytes = 0, total_bytes = 0;
  return cudaMemGetInfo(&free_bytes, &total_bytes) == cudaSuccess ? free_bytes : 0;
}

const char* backend_name() { return "CUDA"; }

int check_launch(const char* what) {
  cudaError_t status = cudaGetLastError();
#if QUIB_SYNC_LAUNCHES
  if (status == cudaSuccess) status = cudaDeviceSynchronize();
#endif
  if (status == cudaSuccess) return 0;
  return record_device_failure(what, "cuda", __LINE__, cudaGetErrorString(status));
}

#else

int check_and_set_gid(int& gid) {
  gid = 0;
  return 0;
}

void select_device(int) {}

// MemAvailable of /proc/meminfo counts the page cache that the system would give up; where it is
// missing, the free pages.
size_t device_memory_available() {
  if (FILE* meminfo = fopen("/proc/meminfo", "r")) {
    char line[256];
    unsigned long long kib = 0;
    bool found = false;
    while (!found && fgets(line, sizeof line, meminfo)) found = sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
    fclose(meminfo);
    if (found) return static_cast<size_t>(kib) * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES), page_size = sysconf(_SC_PAGESIZE);
  return pages > 0 && page_size > 0 ? static_cast<size_t>(pages) * static_cast<size_t>(page_size) : 0;
}

const char* backend_name() { return "CPU"; }

namespace {

bool plain_loops_asked = false;

}  // namespace

bool cpu_wide_loops() {
#if QUIB_WIDE_CPU_LOOPS
  static const bool processor_has_them = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  }();
  return processor_has_them && !plain_loops_asked;
#else
  return false;
#endif
}

void set_cpu_plain_loops(bool plain) { plain_loops_asked = plain; }

#endif
