// Reading MRC files by name: headers, sizes, mode names and data. A file that cannot be opened
// ends the program with "Cannot open file ...".
#pragma once

#include "backend/memory.h"
#include "io/mrc_head.h"

// The file's header (stamped when it lacks "MAP"); -1 when the file is shorter than a header.
int mrcf_read_head(const char* path, MRC_HEAD* head);

// A new header read from the file; empty when the file is shorter than a header.
MrcHeadPtr get_mrcf_head(const char* path);

// All nx*ny*nz values, or section n along z, as floats. The header is validated before anything
// is allocated; an invalid header or a failed read ends the program.
HostBuffer<float> get_mrcf_data_all(const char* path);
HostBuffer<float> get_mrcf_data_sliceN(const char* path, int n);

// mrc_read_all into the caller's buffer of nx*ny*nz floats.
int mrcf_read_all(const char* path, float* out);

// mrc_read_sub_area of the file.
int mrcf_read_sub_area(const char* path, float* out, int x0, int y0, int z0, int dx, int dy,
                       int dz);

// nx, ny or nz for "x", "y", "z"; the product of two for "xy", "yx", "xz", "zx", "yz", "zy"; of
// all three for "xyz" (any case). An unknown keyword prints the valid ones and gives 0.
long get_mrcf_dim_size(const char* path, const char* keyword);

// The name of the file's mode.
const char* mrcf_get_head_mode(const char* path);

// 0 when the file's header carries the "MAP" stamp, else a warning and -1.
int mrcf_check_head(const char* path);
