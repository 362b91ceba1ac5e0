// Micrographs with starting CTF values from an input CTF STAR file, appended to the run's list.
#pragma once

#include "run/quib_para.h"

// Appends every data row of the STAR file to the file list of para: the row's micrograph name and
// its initial CTF values (has_init 1 when both defocus U and V are non-zero). Returns the number
// of rows appended.
int get_all_initctf_from_ctfstar(QUIB_Para* para, const char* name);
