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

StageTimer::StageTimer(const char* label) : label_(label), start_(now_seconds()) {}

StageTimer::~StageTimer() { stop(); }

double StageTimer::stop() {
  if (!running_) return 0.0;
  running_ = false;
  const double elapsed = now_seconds() - start_;
  printf(">>>>>>TIME<<<<<<%32s: %fs\n", label_, elapsed);
  fflush(stdout);
  return elapsed;
}
