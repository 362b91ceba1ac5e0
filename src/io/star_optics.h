// The optics groups of a STAR file: the rows of its "data_optics" table (RELION 3.1 and later),
// which hold the values, such as voltage, Cs and amplitude contrast, that the rows of its
// micrograph or particle table leave to their group.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "io/star_index.h"

struct StarOptics {
  ParticleInfoIndex index;                     // the columns of the optics table
  std::vector<std::vector<std::string>> rows;  // the words of each optics row with one per label
};

// Reads the optics table of the stream, silently; no rows when the file has none.
StarOptics star_read_optics(FILE* stream);

// The word in the column of `label` of the optics row whose _rlnOpticsGroup is `group` (both read
// as integers; a group below 1 is none); null when there is no such row or column.
const char* star_optics_word(const StarOptics& optics, const char* group, const char* label);
