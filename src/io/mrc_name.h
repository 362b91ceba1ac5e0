// Output names: a micrograph's name without its ".mrc" or ".mrcs" suffix, followed by another
// suffix, in a 1024-byte name buffer.
#pragma once

#include <cstddef>

// Size of the buffers that hold file names.
constexpr size_t MRC_NAME_BUFFER_SIZE = 1024;

// 4 when the name ends in ".mrc", 5 when it ends in ".mrcs", otherwise 0 (case matters).
int get_micrograph_suffixn(const char* name);

// Clears the MRC_NAME_BUFFER_SIZE bytes of out and writes the name without its MRC suffix
// followed by suffix: a/b.mrc with ".ctf" gives a/b.ctf, b.tif gives b.tif.ctf. Returns 0, or -1
// with a warning and out left empty when the result would not fit the buffer.
int set_outname_by_suffix(char* out, const char* name, const char* suffix);
