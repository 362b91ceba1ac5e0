// Reading runs of MRC data elements of modes 0, 1, 2 and 6 as floats, shared by the readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Reads count elements of the mode from the stream's position; returns how many were read
// (none for a mode that is not 0, 1, 2 or 6).
size_t mrc_read_elements(FILE* file, int mode, size_t count, float* out);

// The same from element index first of the data block (which starts at byte 1024).
size_t mrc_read_elements_at(FILE* file, int mode, int64_t first, size_t count, float* out);

// Sets the values after the first filled ones of count to 0, warns in the caller's name that
// reading failed and returns -1.
int mrc_report_short_read(float* out, size_t filled, size_t count, const char* function, int line);
#define MRC_REPORT_SHORT_READ(out, filled, count) \
  mrc_report_short_read(out, filled, count, __func__, __LINE__)
