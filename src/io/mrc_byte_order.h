// Byte order of MRC files: the order a header's machine stamp names, the order chosen for a header
// read from a file, and byte swapping of the header's numbers and of data elements.
#pragma once

#include <cstddef>

#include "io/mrc_header.h"

// True when the machine stamp names big-endian data (0x11 0x11).
bool mrc_head_big_endian(const MRC_HEAD* head);

// Reverses the bytes of each number of the header: nx through next, IMOD's stamp and flags, the
// origin, rms and nlabl. Character fields and the other extra bytes stay as they lie.
void mrc_swap_head_numbers(MRC_HEAD* head);

// Reverses the bytes of each of count elements of element_size bytes.
void mrc_swap_elements(void* data, size_t element_size, size_t count);

// Brings a header as it lay in a file of file_size bytes into the machine's byte order, and makes
// its machine stamp name the file's order. A header with "MAP" and a valid machine stamp is taken
// at its word. Any other header is read as little-endian unless only its byte-swapped reading
// describes a file of exactly file_size bytes.
void mrc_head_to_machine_order(MRC_HEAD* head, long file_size);

// The header as it is to lie in a file: in the byte order its machine stamp names.
MRC_HEAD mrc_head_in_file_order(const MRC_HEAD* head);
