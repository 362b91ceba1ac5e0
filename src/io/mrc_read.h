// Reading MRC data as 32-bit floats: one plane along any axis, or the whole file. Modes 0
// (unsigned byte), 1 (signed 16-bit), 2 (float) and 6 (unsigned 16-bit) are converted.
// The readers fill buffers the caller sized from the header; they return 0, or -1 after a
// warning when the mode, the sizes or the request are wrong or the file ends early (then the
// values the file could not supply are set to 0).
#pragma once

#include <cstdio>

#include "io/mrc_head.h"

// One plane: axis 'z' the section n (nx*ny values, x fastest); 'y' the x-z plane at row n
// (value (x, z) at z*nx + x); 'x' the y-z plane at column n (value (y, z) at z*ny + y).
// Upper- and lower-case axis letters are the same.
int mrc_read_slice(FILE* file, const MRC_HEAD* head, int n, char axis, float* out);

// All nx*ny*nz values from byte 1024 on. The checked version first demands the exact file size
// (mrc_check_fsize) and ends the program when it differs.
int mrc_read_all(FILE* file, const MRC_HEAD* head, float* out);
int mrc_read_all_nocheck(FILE* file, const MRC_HEAD* head, float* out);
