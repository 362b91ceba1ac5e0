#include "backend/device_failure.h"

#include <mutex>

#include "core/report.h"

namespace {

// Process-wide: a device fault concerns every thread that uses the device.
std::mutex failure_mutex;
DeviceFailure first_failure;

}  // namespace

int record_device_failure(const char* function, const char* unit, int line, const char* text) {
  std::lock_guard<std::mutex> lock(failure_mutex);
  if (first_failure.count++ == 0) {
    first_failure.function = function;
    first_failure.unit = unit;
    first_failure.text = text;
    quib_warning(function, unit, line, text);
  }
  return -1;
}

bool device_failed() {
  std::lock_guard<std::mutex> lock(failure_mutex);
  return first_failure.count > 0;
}

DeviceFailure device_failure() {
  std::lock_guard<std::mutex> lock(failure_mutex);
  return first_failure;
}

void clear_device_failure() {
  std::lock_guard<std::mutex> lock(failure_mutex);
  first_failure = DeviceFailure();
}
