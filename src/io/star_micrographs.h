// The micrograph names of the data rows of a STAR table, such as an input CTF STAR file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// One name per data row with one word per label, in file order: the row's _rlnMicrographName,
// or an empty name when the table has no such column. Read silently: the CTF reader of the same
// file reports its problems.
std::vector<std::string> star_read_all_micrographs(FILE* stream);
// The same by file name; a file that cannot be opened ends the program.
std::vector<std::string> get_all_micrographs_from_ctfstar(const char* path);
