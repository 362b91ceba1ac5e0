// Micrographs with starting CTF values from an input CTF STAR file, appended to the run's list.
#pragma once

#include "run/quib_para.h"

// Appends every data row of the STAR file's micrograph table to the file list of para: the row's
// micrograph name and its initial CTF values (has_init 1 when both defocus U and V are non-zero;
// a row with unusable values has none). Returns the number of rows appended. A file without a
// _rlnMicrographName column ends the program.
int get_all_initctf_from_ctfstar(QUIB_Para* para, const char* name);
