// The header of a STAR table: its labels with their column numbers, read from a stream, and the
// tests that tell header lines from data rows. A file may hold several tables, each a "loop_" in a
// "data_" block (RELION 3.1 writes its optics groups in a table before the micrographs).
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

constexpr int STAR_MAX_LABELS = 512;  // labels of one table; also the header lines examined
constexpr int STAR_LABEL_SIZE = 256;  // bytes of one label text, terminator included

struct StarHead {
  int count;                                     // labels read
  int column[STAR_MAX_LABELS];                   // each label's 1-based column: the N of its "#N",
                                                 // else its place in the loop
  char label[STAR_MAX_LABELS][STAR_LABEL_SIZE];  // label texts in file order; empty for one too long
  char block[STAR_LABEL_SIZE];                   // the name after "data_" of the table's block
  long rows_at;                                  // stream offset of the line after the labels
  size_t long_label;                             // length of the first label too long to keep, or 0
  int cut;                                       // 1 when labels past the lines examined were dropped
};

// A new header with all of it zero.
std::unique_ptr<StarHead> star_head_new();
// Sets all of a header to zero; 0.
int star_head_empty(StarHead* head);

// How a line stands in a header, judged by its words at space, tab, line feed and carriage return.
enum StarLineKind {
  STAR_LINE_SKIP = 0,   // no word, or a comment: a first word beginning with "#"
  STAR_LINE_LABEL = 1,  // a first word beginning with "_"; a second word "#N" gives its column
  STAR_LINE_OTHER = 2,  // anything else: a data row, which ends the header
  STAR_LINE_BLOCK = 3,  // one word, beginning with "data_": a new block
  STAR_LINE_LOOP = 4,   // one word, beginning with "loop_": a new table
};
// Splits line in place into at most two words (stored in words; words[1] is null for a line of
// fewer) and gives its kind.
int star_head_line_kind(char* line, char* words[2]);

// Parses the header of the file's first table: from the start of the stream, label lines are read
// and blank lines, comments, "data_" and "loop_" lines passed over until the first data row, or a
// "data_" or "loop_" line after labels, ends it; 0. The stream is left at head->rows_at. Label
// lines past the first 512 lines of the table are dropped. When report_path is given, dropped
// labels and labels too long to keep are reported in warnings naming that path.
int star_read_head(FILE* stream, StarHead* head, const char* report_path = nullptr);
// The same for the first table whose labels include `label`, or for the file's first table when
// none does; 1 when one does, else 0.
int star_read_head_with(FILE* stream, const char* label, StarHead* head, const char* report_path = nullptr);
// The same for the first table of the block named "data_" + block; an empty header (no labels,
// rows at the end of the stream) when there is none. 1 when there is one, else 0.
int star_read_head_of_block(FILE* stream, const char* block, StarHead* head);
// The number of tables of the stream whose labels include `label`.
int star_count_tables_with(FILE* stream, const char* label);
// By file name; a file that cannot be opened ends the program.
int starf_read_head(const char* path, StarHead* head);
int starf_read_head_with(const char* path, const char* label, StarHead* head);

// 1 when a split line is a header line rather than a data row: no word; a comment; one or two
// words of which the first is an accepted label; or one word beginning with "data_" or "loop_".
int is_words_starhead(char** words, int count);
// 1 when a split line ends the rows of a table: its one word begins with "data_" or "loop_".
int is_words_star_table_end(char** words, int count);
