// Reading and writing the 1024-byte header at the start of an MRC stream.
#pragma once

#include <cstdio>

#include "io/mrc_head.h"

// Reads the first 1024 bytes as they are. -1 when the stream holds fewer (the header is then
// unchanged), else 0. The stream is left at offset 1024.
int mrc_read_head_unstamped(FILE* file, MRC_HEAD* head);

// As above, then stamps a header that lacks "MAP", so an old header is accepted and gains the
// stamp. A stream shorter than a header gives a warning and -1.
int mrc_read_head(FILE* file, MRC_HEAD* head);

// Writes the header at offset 0 (with a warning first when it lacks the stamp) and leaves the
// stream at offset 1024. A failed write gives a warning and -1.
int mrc_write_head(FILE* file, const MRC_HEAD* head);
