#include "core/report.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void quib_fatal(const char* function, const char* unit, int line, const char* text) {
  printf("Error in function %s(), file %s on line %d: %s! Exit now!\n", function, unit, line, text);
  fflush(stdout);
  exit(1);
}

void quib_warning(const char* function, const char* unit, int line, const char* text) {
  printf("Warning in function %s(), file %s on line %d: %s!\n", function, unit, line, text);
  fflush(stdout);
}

void quib_fatal_cannot_read(const char* path, const char* function, const char* unit, int line) {
  printf("Cannot open file %s. Permission denied or wrong file name.\n", path);
  quib_fatal(function, unit, line, "open file failed.");
}

void quib_fatal_cannot_write(const char* path, const char* function, const char* unit, int line) {
  printf("Cannot write to file %s. Permission denied or no space left!\n", path);
  quib_fatal(function, unit, line, "open file failed.");
}

void quib_fatal_write_failed(const char* path, const char* function, const char* unit, int line) {
  const int error = errno;
  printf("Writing to file %s failed (%s). Is the disk full?\n", path, error ? strerror(error) : "write error");
  quib_fatal(function, unit, line, "writing a result file failed");
}
