// Writing 32-bit float (mode 2) MRC data to open streams and to files by name, and an input file
// opened and closed together with the float output made from it.
#pragma once

#include <cstdio>

#include "backend/memory.h"
#include "io/mrc_header.h"

// Writing to open streams: a whole file with its header, one section at the end or in place, one
// column of every row, and a copy with y and z exchanged. They return 0, or -1 after a warning
// when the request does not fit the file (float data go only into little-endian files) or a write
// fails.

// Sets dmin, dmax and dmean from all nx*ny*nz values and the plain layout (little-endian, no
// extended header), then writes the header and the data as nz sections of nx*ny floats. A header of another mode than 2
// ends the program.
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

// Writing files by name: header and float data, a header in place of the old one, a file of a
// header alone, and the header statistics recomputed from the data. A file that cannot be opened
// or written ends the program with the usual message.

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

// An input MRC file and the float (mode 2) output made from it, opened and closed together: the
// input's header is read into two new records, the output record with mode 2.

// Opens the input ("r"), reads its header into new in_head and out_head records and sets the
// output record's mode to 2 and its layout to the plain one. 0 when the streams and records exist, else -1 (a file
// shorter than a header).
int mrcf_i_open_io_read_head(const char* in_path, FilePtr& in, MrcHeadPtr& in_head, MrcHeadPtr& out_head);

// Opens the output ("w+") first, then as above.
int mrcf_io_open_io_read_head(const char* in_path, const char* out_path, FilePtr& in, FilePtr& out, MrcHeadPtr& in_head,
                              MrcHeadPtr& out_head);

// As above, and writes the output header to the output stream.
int mrcf_io_open_io_read_write_head(const char* in_path, const char* out_path, FilePtr& in, FilePtr& out,
                                    MrcHeadPtr& in_head, MrcHeadPtr& out_head);

// Closes both streams and frees the records (and the data). -1 when the output could not be
// written completely, else 0.
int mrc_io_close_io_free_head(FilePtr& in, FilePtr& out, MrcHeadPtr& in_head, MrcHeadPtr& out_head);
int mrc_io_close_io_free_head_data(FilePtr& in, FilePtr& out, MrcHeadPtr& in_head, MrcHeadPtr& out_head,
                                   HostBuffer<float>& data);
