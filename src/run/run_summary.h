// What became of every listed micrograph, the summary printed at the end of a run and the exit
// status it gives: 0 when every micrograph finished (now or in an earlier run that this one
// resumes), 2 when some were skipped, 1 when none finished (and for errors that stop a run).
#pragma once

#include <string>
#include <vector>

constexpr int QUIB_EXIT_SKIPPED = 2;

struct SkippedMicrograph {
  std::string name;
  std::string reason;
};

struct RunSummary {
  int listed = 0;
  int finished = 0;
  std::vector<SkippedMicrograph> skipped;
};

// Records a micrograph that was skipped and prints the reason with its name.
void note_skipped(RunSummary& summary, const char* name, const std::string& reason);

// "All N files finished successfully:" when none was skipped; otherwise how many finished and
// every skipped micrograph with its reason.
void put_run_summary(const RunSummary& summary);

int run_exit_status(const RunSummary& summary);
