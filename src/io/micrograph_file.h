// Micrographs and movies in either format quib reads, told apart by the file's first bytes: TIFF
// (read through libtiff) or MRC (anything else). Both are described by an MRC header, so that a
// run compares, sizes and reports them alike, and both are read as floats.
#pragma once

#include <cstdio>
#include <string>

#include "io/mrc_header.h"

enum class MicrographFormat { kMrc, kTiff };

MicrographFormat micrograph_format(FILE* file);

// "MRC" or "TIFF".
const char* micrograph_format_name(MicrographFormat format);

// Reads the header and checks that the file holds the data it describes. Returns "" or why the
// file cannot be read: for an MRC file "truncated, damaged or of an unsupported kind", after the
// MRC readers' warnings; for a TIFF file the reason in words (nothing is printed).
std::string micrograph_read_head(FILE* file, MRC_HEAD* head);

// All nx*ny*nz values of the file whose header micrograph_read_head gave, as floats. False when
// they could not be read: why then holds the reason for a TIFF file, and stays empty for an MRC
// file, whose reader has warned.
bool micrograph_read_all(FILE* file, const MRC_HEAD* head, float* out, std::string& why);

// Whether the file is still shorter than it says it will be: an MRC file without its whole header,
// or with less data than its header describes. A TIFF file, whose size is not known before its
// end, never is. Prints nothing; the stream position is left anywhere.
bool micrograph_short_of_its_header(FILE* file);
