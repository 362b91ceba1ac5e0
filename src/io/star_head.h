// The header of a STAR table: its label lines with their "#N" column numbers, read from a stream,
// and the tests that tell header lines from data rows.
#pragma once

#include <cstdio>
#include <memory>

constexpr int STAR_MAX_LABELS = 512;  // labels of one table; also the header lines examined
constexpr int STAR_LABEL_SIZE = 256;  // bytes of one label text, terminator included

struct StarHead {
  int count;                                      // labels read
  int column[STAR_MAX_LABELS];                    // the N of each label's "#N", 1-based
  char label[STAR_MAX_LABELS][STAR_LABEL_SIZE];   // label texts in file order
};

// A new header with all of it zero.
std::unique_ptr<StarHead> star_head_new();
// Sets all of a header to zero; 0.
int star_head_empty(StarHead* head);

// How a line stands in a header, judged by its first two words at space, tab, line feed and
// carriage return.
enum StarLineKind {
  STAR_LINE_SKIP = 0,   // no word, or a first word beginning with "data_" or "loop_"
  STAR_LINE_LABEL = 1,  // exactly two words: an accepted label and a word beginning with "#"
  STAR_LINE_OTHER = 2,  // anything else: a data row, or a line that ends the header
};
// Splits line in place into at most two words (stored in words) and gives its kind.
int star_head_line_kind(char* line, char* words[2]);

// Parses the header from the start of the stream: label lines are read, empty, "data_" and
// "loop_" lines passed over, and the first other line (or the 512-line limit) ends it; 0. When
// report_path is given, a header that ends at an unreadable label or comment, or runs past the
// limit, is reported in a warning naming that path.
int star_read_head(FILE* stream, StarHead* head, const char* report_path = nullptr);
// The same by file name; a file that cannot be opened ends the program.
int starf_read_head(const char* path, StarHead* head);

// 1 when a split line is a header line rather than a data row: no word; one or two words of
// which the first is an accepted label; or a first word beginning with "data_" or "loop_".
int is_words_starhead(char** words, int count);
