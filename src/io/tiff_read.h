// TIFF micrographs and movies (one page a frame) described by an MRC header and read as floats,
// so that the rest of a run treats them as it treats MRC files. Pages hold one sample per pixel:
// 8-, 16- or 32-bit integers, signed or not, or 16- or 32-bit floats, in strips or tiles, with any
// compression libtiff decodes; every page has the first page's size and samples. Rows are taken
// in the order the file stores them (row 0 first), as other cryo-EM programs read TIFF movies.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "io/mrc_header.h"

// A fresh header with nx and ny of the pages, nz = the number of pages, and the mode of the
// samples: 0 for 8-bit integers (IMOD's flags mark unsigned ones), 1 for signed and 6 for
// unsigned 16-bit integers, 12 for 16-bit floats, and 2 for 32-bit floats. 32-bit integers have
// no MRC mode; they are read as floats (exact below 2^24, far above any count) and get mode 2.
// Returns "" or why the file cannot be read (libtiff's own text when it gave one). Prints nothing.
std::string tiff_read_head(FILE* file, MRC_HEAD* head);

// All pages as nx*ny*nz floats, page after page, into a buffer the caller sized from the header
// that tiff_read_head gave. Returns "" or why the pixels could not be read. Prints nothing.
// go_on, when given, is asked after each page whether to read the next one (a reader that is told
// to stop returns "stopped").
std::string tiff_read_all(FILE* file, const MRC_HEAD* head, float* out, const std::function<bool()>& go_on = nullptr);
