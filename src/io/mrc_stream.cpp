#include "io/mrc_stream.h"

#include "core/report.h"

FilePtr mrc_open_read(const char* path, const char* mode, const char* function, int line) {
  FilePtr file(fopen(path, mode));
  if (!file) quib_fatal_cannot_read(path, function, "mrc", line);
  return file;
}

FilePtr mrc_open_write(const char* path, const char* mode, const char* function, int line) {
  FilePtr file(fopen(path, mode));
  if (!file) quib_fatal_cannot_write(path, function, "mrc", line);
  return file;
}

int mrc_close(FilePtr& file) {
  if (!file) return 0;
  const bool write_failed = ferror(file.get()) != 0;
  return fclose(file.release()) != 0 || write_failed ? -1 : 0;
}

void mrc_close_written(FilePtr& file, const char* path, const char* function, int line) {
  if (mrc_close(file) != 0) quib_fatal_cannot_write(path, function, "mrc", line);
}
