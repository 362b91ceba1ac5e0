// The data rows of a STAR table: positioning on a row, counting rows, and walking the rows
// whose word count matches the header. A table's rows end at a "data_" or "loop_" line; blank
// lines, comments and label lines among them are passed over.
#pragma once

#include <cstdio>

#include "core/text_lines.h"
#include "io/star_head.h"

// Positions the stream at the start of data row n (0-based) of the file's first table; at the end
// of the file when that table has fewer rows. 0.
int star_set_pointer(FILE* stream, long n);
// Reads and discards one line; 0.
int star_set_next_line(FILE* stream);

// The lines from the first table's rows to the end of the file that hold a word (when that table
// has one column, also lines of blanks). Every row of every table is counted, whatever its word
// count, so this bounds what the row readers return.
int get_lineN_from_star(FILE* stream);
// The same by file name; a file that cannot be opened ends the program.
int get_lineN_from_starf(const char* path);

// 5 when name ends in ".star", else 0.
int get_starf_suffixn(const char* name);

// Walks the data rows of a table whose header has been read.
struct StarRowCursor {
  FILE* stream;
  int labels;                           // words a usable row has
  const char* report_path;              // named in warnings; null reads silently
  long rows;                            // data rows met so far, usable or not
  long bad_rows;                        // rows skipped for their word count
  bool ended;                           // the table's rows have ended
  char line[TEXT_LINE_SIZE];
  char* words[STAR_MAX_LABELS + 1];     // one more than a usable row has, to see longer rows
};
// Sets the cursor before the first row of the table whose header is given. With a report path, rows with the wrong word
// count and lines longer than 1023 characters are reported in warnings naming that path.
void star_row_cursor_start(StarRowCursor& cursor, FILE* stream, const StarHead& head,
                           const char* report_path);
// The words of the next data row that has exactly one word per label; null at the end of the
// table. Header lines (is_words_starhead) are passed over and other rows skipped.
char** star_next_row(StarRowCursor& cursor);

// The word of a usable row for a label's 1-based column number; null when the table has no
// such column (0) or the number lies outside the row.
const char* star_row_word(const StarRowCursor& cursor, int column);
