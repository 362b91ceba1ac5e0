// Reading the starting CTF values of micrographs from an input CTF STAR file.
#pragma once

#include <cstdio>
#include <vector>

#include "core/ctf_records.h"

// One record per data row with one word per label of the file's first table with a
// _rlnMicrographName column (or of its first table when none has one), in file order: the rows
// that get_all_micrographs_from_ctfstar names. Each starts as ctf2d_default() and takes the
// defocus U, V and angle, voltage, Cs, amplitude contrast, B-factor and phase shift that its row
// gives, or else that the row's optics group (_rlnOpticsGroup) gives in the file's "data_optics"
// table. A row with a value that is not a finite number, or with a negative defocus, keeps
// ctf2d_default(), so that its micrograph is searched rather than refined. With a report path,
// such rows, further tables with micrograph names (whose rows are not read), header and row
// problems and a table without usable rows are reported in warnings naming it.
std::vector<CTF_INFO> star_read_all_ctfinfo(FILE* stream, const char* report_path);
// The same by file name; a file that cannot be opened ends the program.
std::vector<CTF_INFO> get_all_ctfinfo_from_ctfstar(const char* name);
