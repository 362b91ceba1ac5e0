// Reading the starting CTF values of micrographs from an input CTF STAR file.
#pragma once

#include <cstdio>
#include <vector>

#include "core/ctf_records.h"

// One record per data row with one word per label, in file order (the rows that
// get_all_micrographs_from_ctfstar names). Each starts as ctf2d_default() and takes from its
// row the defocus U, V and angle, voltage, Cs, amplitude contrast, B-factor and phase shift
// that the table has. With a report path, header and row problems and a table without usable
// rows are reported in warnings naming it.
std::vector<CTF_INFO> star_read_all_ctfinfo(FILE* stream, const char* report_path);
// The same by file name; a file that cannot be opened ends the program.
std::vector<CTF_INFO> get_all_ctfinfo_from_ctfstar(const char* name);
