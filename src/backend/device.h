// Selection of the compute device. The CPU build has exactly one device, number 0.
#pragma once

#include <cstddef>

// Returns 0 at once when device gid exists. Otherwise, with no device at all, prints
// "Warning: no GPU device found!" and returns -1; else sets gid to the device of the highest
// compute capability (the first on ties) and returns 0 when it answers, -1 otherwise.
int check_and_set_gid(int& gid);

// Makes device gid the current device for the rest of the run.
void select_device(int gid);

// Bytes of device memory that an allocation could still have now: the GPU's free memory, or on
// the CPU the memory the system reports as available.
size_t device_memory_available();

// A short description of the backend and device, for the banner and benchmarks.
const char* backend_name();
