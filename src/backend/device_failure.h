// The first failure of device work (a kernel launch, a copy, an FFT) since the state was last
// cleared. Device work that fails does not end the process: the library records the failure, prints
// it as one warning line and carries on, and the caller checks device_failed() where it can stop
// (the driver after each micrograph, the tests after each test). Later failures, often consequences
// of the first, are counted but not printed.
#pragma once

#include <string>

struct DeviceFailure {
  std::string function;
  std::string unit;  // "cuda", "cufft" or "fftw"
  std::string text;
  int count = 0;  // failures recorded since the state was cleared; 0: none
};

// Records a failure, printing its warning line when it is the first; returns -1 for the caller's status.
int record_device_failure(const char* function, const char* unit, int line, const char* text);
bool device_failed();
// A copy of the state: the first failure and the number of failures.
DeviceFailure device_failure();
void clear_device_failure();

#define QUIB_DEVICE_FAILURE(unit, text) record_device_failure(__func__, unit, __LINE__, text)
