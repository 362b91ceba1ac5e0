// The micrograph names of the data rows of a STAR table, such as an input CTF STAR file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// One name per data row with one word per label of the file's first table that has a
// _rlnMicrographName column, in file order; without such a table, an empty name per row of the
// file's first table. Read silently: the CTF reader of the same file reports its problems.
std::vector<std::string> star_read_all_micrographs(FILE* stream);
// The same by file name; a file that cannot be opened ends the program.
std::vector<std::string> get_all_micrographs_from_ctfstar(const char* path);
