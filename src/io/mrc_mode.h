// MRC data type codes: which ones quib reads, how many bytes one element takes and the name a
// message shows for each.
#pragma once

#include <cstddef>

constexpr int MRC_MODE_BYTE = 0;           // unsigned 8-bit integer
constexpr int MRC_MODE_SHORT = 1;          // signed 16-bit integer
constexpr int MRC_MODE_FLOAT = 2;          // 32-bit float, the only mode quib writes
constexpr int MRC_MODE_SHORT_COMPLEX = 3;  // two signed 16-bit integers
constexpr int MRC_MODE_FLOAT_COMPLEX = 4;  // two 32-bit floats
constexpr int MRC_MODE_USHORT = 6;         // unsigned 16-bit integer

// Element size in bytes of the modes the file-size check knows (0, 1, 2, 3, 4, 6, 20, 21, 22);
// 0 for any other mode.
size_t mrc_element_size(int mode);

// True for the modes the readers convert to float: 0, 1, 2 and 6.
bool mrc_mode_readable(int mode);

// The mode's name for messages, "Unknown" for codes without one.
const char* mrc_mode_name(int mode);
