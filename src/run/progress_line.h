// One line per micrograph for runs over many: "[k/N] name: U .. V .. A .. res .. A (t s) — n/min,
// ETA h:mm:ss", or the reason a micrograph was skipped, with the pace of the run so far.
#pragma once

#include <chrono>
#include <string>

struct RunProgress {
  int total = 0;  // micrographs listed
  int done = 0;   // micrographs passed, finished or skipped
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

// What a finished micrograph gives the line; a skipped one gives its reason instead.
struct ProgressResult {
  float defocus_u, defocus_v, angle, resolution;
};

// Counts the micrograph as done and returns its line (without a line break). result is null for a
// micrograph that was skipped for `reason`; seconds is the time it took.
std::string progress_line(RunProgress& progress, const char* name, const ProgressResult* result,
                          const std::string& reason, double seconds);
