// Writing MRC files by name: header and float data, a header in place of the old one, a file of
// a header alone, and the header statistics recomputed from the data. A file that cannot be
// opened or written ends the program with the usual message.
#pragma once

#include "io/mrc_head.h"

// Creates (or truncates) the file and writes the header and nx*ny*nz floats with
// mrc_write_head_data. -1 after a warning when the header's sizes cannot be written.
int mrcf_write_head_data(const char* path, MRC_HEAD* head, const float* data);

// The same with a new mode-2 header of the given sizes.
int mrcf_write_xyz_data(const char* path, const float* data, int nx, int ny, int nz);

// Writes the header over the first 1024 bytes of an existing file.
int mrc_replace_head(const char* path, const MRC_HEAD* head);

// Creates a file that holds only the header.
int mrc_new_file(const char* path, const MRC_HEAD* head);

// Recomputes dmin, dmax and dmean over all sections of a file of mode 0, 1, 2 or 6 (sums in
// double), or sets them to 0 for other modes, and replaces the header. -1 when the data cannot
// be read.
int mrcf_update_head(const char* path);
