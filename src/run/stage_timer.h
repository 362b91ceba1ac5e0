// Nested stage timers: start() pushes a start time, stop(label) pops the innermost one and prints
// ">>>>>>TIME<<<<<<" with the label right-aligned in 32 characters and the elapsed seconds.
#pragma once

#include <vector>

class StageTimers {
 public:
  void start();
  // Prints the line and returns the elapsed seconds; 0 without a running timer.
  double stop(const char* label);

 private:
  std::vector<double> starts_;
};
