// Text lines and words for the file readers: the 1024-byte line and name buffers, reading one
// line, splitting a line into words, file-name suffixes, finding a line that holds a text, and a
// one-block 2D allocation.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

#include "core/file_ptr.h"

// Bytes of every line and file-name buffer, terminator included: text holds at most 1023 characters.
constexpr int TEXT_LINE_SIZE = 1024;

// White space for splitting: space, tab, line feed, carriage return, vertical tab, form feed.
extern const char* const TEXT_WHITE_SPACE;

// Sets the 1024 bytes of a line buffer to zero.
void empty_line(char* line);

// What read_one_line found.
enum LineRead {
  LINE_END = 0,    // end of file: the buffer is left as it was
  LINE_WHOLE = 1,  // a whole line, with its line break unless it was the file's last
  LINE_CUT = 2,    // the first 1023 characters of a longer line; the next call reads the rest
};
// Reads one line of at most 1023 characters, line break kept, into a 1024-byte buffer.
int read_one_line(char* line, FILE* stream);

// Splits s in place at any of the delimiter characters (a run of them counts as one), storing at
// most max pointers to the words, each ended by a zero; returns how many were stored. 0 for a
// null or empty string or delimiter set. A null word array is reported and gives 0.
int strnsplit_inplace(char* s, const char* delimiters, char** words, int max);
int strnsplit_inplace_byspace(char* s, char** words, int max);
// Without a maximum: words must have room for strlen(s) / 2 + 1 pointers.
int strsplit_inplace(char* s, const char* delimiters, char** words);
int strsplit_inplace_byspace(char* s, char** words);

// The words of a heap copy of a string: they point into `text`, so keep the record while they
// are used. `count` is the number of words stored.
struct SplitText {
  std::unique_ptr<char[]> text;
  int count = 0;
};
SplitText strnsplit(const char* s, const char* delimiters, char** words, int max);
SplitText strsplit(const char* s, const char* delimiters, char** words);
SplitText strsplit_byspace(const char* s, char** words);
// Ends the program when the word array is null.
SplitText strnsplit_byspace(const char* s, char** words, int max);

// 1 when s is null, empty, begins with a line feed, or is "NULL" or "NONE" in any case; else 0.
int is_str_null(const char* s);

// Clears the 1024-byte destination and copies src into it; 0. Text longer than 1023 characters
// is refused with a warning, leaving the destination empty: -1. (An overload beside the C
// library's three-argument strlcpy where it has one.)
int strlcpy(char* dst, const char* src);

// The integer at the start of s as a C integer conversion reads it (leading blanks, a sign and
// digits; 0 when there are none), held to the range of int instead of overflowing.
int text_to_int(const char* s);

// One heap block: `rows` row pointers followed by the rows of columns × element_size bytes each;
// one free() releases it. Null, with a message, when the memory cannot be had.
void** malloc2d(size_t rows, size_t columns, size_t element_size);

// From the start of the stream, the offset of the first line that contains text, with the
// stream left at the start of that line; -1 (stream at its end) when no line does.
long FILE_find_str_line(FILE* stream, const char* text);
// The same over at most the first n + 1 lines.
long FILE_Nfind_str_line(FILE* stream, const char* text, long n);
// The 1-based number of the first of the file's first n + 1 lines that contains text, -1 when
// none does. A file that cannot be opened ends the program.
int f_Nfind_str_line(const char* path, const char* text, int n);

// The suffix's length when name is longer than the suffix and ends with it, else 0.
int get_file_suffixn(const char* name, const char* suffix);
// Clears the 1024-byte out, then writes name without old_suffix (when it ends with it) followed
// by new_suffix; 0. A result longer than 1023 characters is refused with a warning: -1, out empty.
int replace_file_suffix(char* out, const char* new_suffix, const char* name, const char* old_suffix);
