#include "run/stage_timer.h"

#include <sys/time.h>

#include <cstdio>

namespace {

double now_seconds() {
  timeval t;
  gettimeofday(&t, nullptr);
  return t.tv_sec + t.tv_usec / 1000000.0;
}

}  // namespace

void StageTimers::start() { starts_.push_back(now_seconds()); }

double StageTimers::stop(const char* label) {
  if (starts_.empty()) return 0.0;
  const double elapsed = now_seconds() - starts_.back();
  starts_.pop_back();
  printf(">>>>>>TIME<<<<<<%32s: %fs\n", label, elapsed);
  fflush(stdout);
  return elapsed;
}
