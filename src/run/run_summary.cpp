#include "run/run_summary.h"

#include <cstdio>

void note_skipped(RunSummary& summary, const char* name, const std::string& reason) {
  printf("\033[41m\033[1mSkipped %s: %s.\033[m\n\n", name, reason.c_str());
  summary.skipped.push_back({name, reason});
}

void put_run_summary(const RunSummary& summary) {
  if (summary.skipped.empty()) {
    printf("All %d files finished successfully:\n", summary.listed);
    return;
  }
  printf("%d of %d files finished successfully; %zu skipped:\n", summary.finished, summary.listed,
         summary.skipped.size());
  for (const SkippedMicrograph& s : summary.skipped) printf("  %s: %s\n", s.name.c_str(), s.reason.c_str());
}

int run_exit_status(const RunSummary& summary) {
  if (summary.skipped.empty()) return 0;
  return summary.finished > 0 ? QUIB_EXIT_SKIPPED : 1;
}
