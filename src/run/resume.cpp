#include "run/resume.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/report.h"
#include "core/text_lines.h"

int is_file_ctf_done(const char* logname) {
  if (access(logname, F_OK) != 0) return 0;
  FILE* log = fopen(logname, "r");
  if (!log) QUIB_FATAL_CANNOT_READ("quib", logname);
  const long found = FILE_find_str_line(log, QUIB_DONE_LINE);
  fclose(log);
  return found >= 0 ? 1 : 0;
}
