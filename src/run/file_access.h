// Checks that files exist and may be read, written or executed, and the opening of the first
// readable micrograph of a run.
#pragma once

#include <cstdio>

// Tests each mode letter of modes in turn, in any case: 'f' exists, 'r' readable, 'w' writable,
// 'x' executable. The first failing test prints its warning and gives -1, as does an unknown
// letter; otherwise 0.
int check_file_access(const char* name, const char* modes);

// Opens the first of the n names that exists and is readable, warning about each one before it,
// and copies its name into firstname (a 1024-byte buffer). Ends the run (status 1) when it cannot
// be opened. Returns the position of the opened name in the list (the caller closes *stream), or
// -1 when no name is usable.
int check_access_openf_1st(char* const* names, int n, char* firstname, FILE** stream);
