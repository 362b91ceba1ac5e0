#include "run/progress_line.h"

#include <cstdio>

std::string progress_line(RunProgress& p, const char* name, const ProgressResult* r, const std::string& reason,
                          double seconds) {
  ++p.done;
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - p.start).count();
  const double per_micrograph = p.done > 0 ? elapsed / p.done : 0.0;
  const long eta = static_cast<long>(per_micrograph * (p.total - p.done) + 0.5);
  const double per_minute = elapsed > 0.0 ? 60.0 * p.done / elapsed : 0.0;
  char outcome[256];
  if (r)
    snprintf(outcome, sizeof outcome, "U %.1f V %.1f A %.2f res %.2f A", r->defocus_u, r->defocus_v, r->angle,
             r->resolution);
  else
    snprintf(outcome, sizeof outcome, "skipped (%s)", reason.c_str());
  char line[512];
  snprintf(line, sizeof line, "[%d/%d] %s: %s (%.2f s) - %.1f/min, ETA %ld:%02ld:%02ld", p.done, p.total, name, outcome,
           seconds, per_minute, eta / 3600, eta / 60 % 60, eta % 60);
  return line;
}
