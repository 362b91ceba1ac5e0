// An input MRC file and the float (mode 2) output made from it, opened and closed together:
// the input's header is read into two new records, the output record with mode 2.
#pragma once

#include "backend/memory.h"
#include "io/mrc_head.h"
#include "io/mrc_stream.h"

// Opens the input ("r"), reads its header into new in_head and out_head records and sets the
// output record's mode to 2. 0 when the streams and records exist, else -1 (a file shorter than
// a header).
int mrcf_i_open_io_read_head(const char* in_path, FilePtr& in, MrcHeadPtr& in_head,
                             MrcHeadPtr& out_head);

// Opens the output ("w+") first, then as above.
int mrcf_io_open_io_read_head(const char* in_path, const char* out_path, FilePtr& in, FilePtr& out,
                              MrcHeadPtr& in_head, MrcHeadPtr& out_head);

// As above, and writes the output header to the output stream.
int mrcf_io_open_io_read_write_head(const char* in_path, const char* out_path, FilePtr& in,
                                    FilePtr& out, MrcHeadPtr& in_head, MrcHeadPtr& out_head);

// Closes both streams and frees the records (and the data). -1 when the output could not be
// written completely, else 0.
int mrc_io_close_io_free_head(FilePtr& in, FilePtr& out, MrcHeadPtr& in_head, MrcHeadPtr& out_head);
int mrc_io_close_io_free_head_data(FilePtr& in, FilePtr& out, MrcHeadPtr& in_head,
                                   MrcHeadPtr& out_head, HostBuffer<float>& data);
