// Checks of an MRC header: against the file that carries it, against the sizes quib can hold,
// and against the first micrograph of a run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "io/mrc_header.h"

// Pixel indices of one section are 32-bit: a section holds fewer values than this.
constexpr int64_t MRC_SECTION_VOXELS_LIMIT = int64_t(1) << 31;
// At most this many values in one file (32 GiB once converted to float).
constexpr int64_t MRC_MAX_VOXELS = int64_t(1) << 33;

// Seeks to the end and returns the position; the stream is left at the end.
long get_file_size(FILE* file);

// 0 when the file holds exactly the 1024-byte header, the extended header and nx*ny*nz elements
// of the header's mode; otherwise a message and -1.
int mrc_check_fsize(FILE* file, const MRC_HEAD* head);

// 0 when the sizes are positive, a section has fewer than 2^31 values, the file fewer than
// MRC_MAX_VOXELS, the extended header size is not negative and the mode is one the readers
// convert; otherwise a warning that says why and -1.
int mrc_check_head_sizes(const MRC_HEAD* head);

// mrc_check_head_sizes and, in addition, the file holds exactly the header, the extended header
// and the data the header describes; any other size marks a damaged file. Every reader that allocates from a header
// calls it first, and so should anyone who sizes buffers from one. The stream position is kept.
int mrc_check_head_data(FILE* file, const MRC_HEAD* head);

// Whether two headers agree in nx, ny, nz and mode (micrographs that can share a run's buffers),
// and the shape as a reader is told it: "4096 x 4096 x 1 in mode 2 (Float)".
bool mrc_same_shape(const MRC_HEAD* a, const MRC_HEAD* b);
std::string mrc_head_shape(const MRC_HEAD* head);

// Prints the text on a line of its own and ends the program with status 1.
[[noreturn]] void mrc_stop(const char* text);
