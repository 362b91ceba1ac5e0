// Reading particle boxes from EMAN ".box" files and RELION coordinate ".star" files (the file's
// first table with a _rlnCoordinateX column, so also a particle table after an optics table).
#pragma once

#include <cstdio>

#include "io/ptcl_box.h"

// Reads the boxes of the file into a zeroed table, at most capacity of them, and returns how many
// were read. The format follows the name (get_boxf_suffixf); any other name gives a warning and
// 0. A file that cannot be opened, or an EMAN line of one to three words, ends the program.
int read_all_ptcl_boxes(PTCL_BOX* boxes, int capacity, const char* path);

// What parsing one stream gave.
struct PtclBoxParse {
  int count;      // boxes stored
  int bad_line;   // 1-based line of one to three words that stopped an EMAN file; 0 when none
  int bad_words;  // the word count of that line
};
// The parsing under read_all_ptcl_boxes, which never ends the program, for a BoxFileFormat.
// Boxes are stored from the start of the table without zeroing the rest. With a report path,
// unusable rows, cut lines and a full table are reported in warnings naming it.
PtclBoxParse parse_ptcl_boxes(FILE* stream, int format, PTCL_BOX* boxes, int capacity,
                              const char* report_path);

// The number of lines of a box file that have exactly seven words; a file that cannot be opened
// ends the program.
int get_ptcl_number_from_boxf(const char* path);
