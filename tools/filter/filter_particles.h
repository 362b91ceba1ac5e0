// quib_filter's particle modes: cutting the particles of a box file out of an MRC file into a
// stack (--extract), and pasting a stack back into a micrograph at its boxes (--paste). Each reads
// its inputs and writes the output file; a refusal or a failed write ends the program.
#pragma once

#include "filter/filter_options.h"

void extract_particles(const FilterOptions& o);
void paste_particles(const FilterOptions& o);
