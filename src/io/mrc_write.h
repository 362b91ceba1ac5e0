// Writing 32-bit float (mode 2) MRC data to open streams: a whole file with its header, one
// section at the end or in place, one column of every row, and a copy with y and z exchanged.
// They return 0, or -1 after a warning when the request does not fit the file or a write fails.
#pragma once

#include <cstdio>

#include "io/mrc_head.h"

// Sets dmin, dmax and dmean from all nx*ny*nz values, then writes the header and the data as nz
// sections of nx*ny floats. A header of another mode than 2 ends the program.
int mrc_write_head_data(FILE* file, MRC_HEAD* head, const float* data);

// Appends one section of nx*ny floats at the end of the file.
int mrc_add_slice(FILE* file, const MRC_HEAD* head, const float* data);

// Writes one section of nx*ny floats as section n.
int mrc_add_sliceN(FILE* file, const MRC_HEAD* head, const float* data, int n);

// Overwrites column x of every row of every section with the ny*nz values of data (value (y, z)
// at z*ny + y); the sizes come from the stream's own header.
int mrc_update_slcX(FILE* file, int x, const float* data);

// Writes to out a mode-2 copy of the MRC stream in with y and z exchanged (nx x nz x ny): output
// section y is the x-z plane at row y of the input. The statistics are kept from the input.
int mrc_flipyz(FILE* in, FILE* out);
