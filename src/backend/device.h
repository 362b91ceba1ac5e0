// Selection of the compute device. The CPU build has exactly one device, number 0.
#pragma once

// Returns 0 at once when device gid exists. Otherwise, with no device at all, prints
// "Warning: no GPU device found!" and returns -1; else sets gid to the device of the highest
// compute capability (the first on ties) and returns 0 when it answers, -1 otherwise.
int check_and_set_gid(int& gid);

// Makes device gid the current device for the rest of the run.
void select_device(int gid);

// A short description of the backend and device, for the banner and benchmarks.
const char* backend_name();
