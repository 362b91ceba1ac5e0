// The timer of one stage: it starts when made, and stopping it (explicitly, or when it goes out of
// scope) prints ">>>>>>TIME<<<<<<" with the label right-aligned in 32 characters and the elapsed
// seconds, once. Nested stages are nested scopes: the inner one prints first.
#pragma once

class StageTimer {
 public:
  explicit StageTimer(const char* label);
  ~StageTimer();
  StageTimer(const StageTimer&) = delete;
  StageTimer& operator=(const StageTimer&) = delete;

  // Prints the line and returns the elapsed seconds; a second call does nothing and returns 0.
  double stop();

 private:
  const char* label_;
  double start_;
  bool running_ = true;
};
