// Reading MRC data as 32-bit floats, from an open stream or from a file by name: runs of
// elements, one plane along any axis, the whole file, boxes and grids of boxes; and headers,
// sizes and mode names by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "backend/memory.h"
#include "io/mrc_header.h"

// Runs of data elements of modes 0, 1, 2, 6 and 12 as floats, shared by the readers.

// Reads count elements from the stream's position as the header describes them (mode, byte order,
// signedness of bytes); returns how many were read (none for a mode that is not 0, 1, 2 or 6).
size_t mrc_read_elements(FILE* file, const MRC_HEAD* head, size_t count, float* out);

// The same from element index first of the data block (which follows the extended header).
size_t mrc_read_elements_at(FILE* file, const MRC_HEAD* head, int64_t first, size_t count, float* out);

// Sets the values after the first filled ones of count to 0, warns in the caller's name that
// reading failed and returns -1.
int mrc_report_short_read(float* out, size_t filled, size_t count, const char* function, int line);
#define MRC_REPORT_SHORT_READ(out, filled, count) mrc_report_short_read(out, filled, count, __func__, __LINE__)

// Planes and whole files from a stream. Modes 0 (8-bit), 1 (signed 16-bit), 2 (float) and 6
// (unsigned 16-bit) are converted, from either byte order. The readers fill buffers the caller sized from the
// header; they return 0, or -1 after a warning when the mode, the sizes or the request are wrong
// or the file ends early (then the values the file could not supply are set to 0).

// One plane: axis 'z' the section n (nx*ny values, x fastest); 'y' the x-z plane at row n
// (value (x, z) at z*nx + x); 'x' the y-z plane at column n (value (y, z) at z*ny + y).
// Upper- and lower-case axis letters are the same.
int mrc_read_slice(FILE* file, const MRC_HEAD* head, int n, char axis, float* out);

// All nx*ny*nz values. The checked version first demands the exact file size
// (mrc_check_fsize) and ends the program when it differs.
int mrc_read_all(FILE* file, const MRC_HEAD* head, float* out);
int mrc_read_all_nocheck(FILE* file, const MRC_HEAD* head, float* out);

// Boxes out of a mode-2 (float) MRC stream: a sub-volume, a sub-area of the first section, and
// the grid of overlapping square boxes of the first section. A file of another mode ends the
// program. A box outside the data gives a warning and -1; a short read sets the output to 0 and
// gives a warning and -1.

// The dx*dy*dz values whose first corner is (x0, y0, z0), value (x, y, z) of the box at
// (z*dy + y)*dx + x.
int mrc_read_sub_area(FILE* file, const MRC_HEAD* head, float* out, int x0, int y0, int z0, int dx, int dy, int dz);

// The same in the first section.
int mrc_2d_read_sub_area(FILE* file, const MRC_HEAD* head, float* out, int x0, int y0, int dx, int dy);

// Boxes of box*box values at a step of step pixels in x and y: (nx-box)/step+1 across and
// (ny-box)/step+1 down, stored one after another in row order, each box row by row.
int mrc_2d_read_grids(FILE* file, const MRC_HEAD* head, float* out, int box, int step);

// Reading by name. A file that cannot be opened ends the program with "Cannot open file ...".

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
int mrcf_read_sub_area(const char* path, float* out, int x0, int y0, int z0, int dx, int dy, int dz);

// nx, ny or nz for "x", "y", "z"; the product of two for "xy", "yx", "xz", "zx", "yz", "zy"; of
// all three for "xyz" (any case). An unknown keyword prints the valid ones and gives 0.
long get_mrcf_dim_size(const char* path, const char* keyword);

// The name of the file's mode.
const char* mrcf_get_head_mode(const char* path);

// 0 when the file's header carries the "MAP" stamp, else a warning and -1.
int mrcf_check_head(const char* path);
