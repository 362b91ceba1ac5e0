// Owned stdio streams for MRC files: opening that ends the program with the usual message when
// a file cannot be had, and closing that reports a failed final write.
#pragma once

#include <cstdio>

#include "core/file_ptr.h"

// Opens an existing file ("r" or "r+"); "Cannot open file ..." and a fatal error otherwise.
FilePtr mrc_open_read(const char* path, const char* mode, const char* function, int line);
// Opens a file for writing ("w+" and the like); "Cannot write to file ..." and a fatal error
// otherwise.
FilePtr mrc_open_write(const char* path, const char* mode, const char* function, int line);
// Closes the stream (if any); -1 when a write to it failed or it could not be flushed, else 0.
int mrc_close(FilePtr& file);
// Closes a written stream; a failed write is "Cannot write to file ..." and a fatal error.
void mrc_close_written(FilePtr& file, const char* path, const char* function, int line);

#define MRC_OPEN_READ(path, mode) mrc_open_read(path, mode, __func__, __LINE__)
#define MRC_OPEN_WRITE(path, mode) mrc_open_write(path, mode, __func__, __LINE__)
#define MRC_CLOSE_WRITTEN(file, path) mrc_close_written(file, path, __func__, __LINE__)
