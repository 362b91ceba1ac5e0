#include "io/star_rows.h"

#include <cstring>
#include <memory>

#include "core/report.h"

namespace {

const char* const kUnit = "star_rows.cpp";
// Skipped rows named one by one before the rest are skipped quietly.
const long kReportedBadRows = 10;

constexpr size_t kWarningSize = TEXT_LINE_SIZE + 160;

void cut_line_warning(const StarRowCursor& cursor, char* text) {
  snprintf(text, kWarningSize,
           "a line after data row %ld of %s is longer than 1023 characters; its rest is read as "
           "another line",
           cursor.rows, cursor.report_path);
}

// The text of a warning for a skipped row, false once enough have been named.
bool bad_row_warning(const StarRowCursor& cursor, int count, char* text) {
  if (cursor.bad_rows < kReportedBadRows)
    snprintf(text, kWarningSize, "data row %ld of %s has %s words than the %d labels of its header; skipped",
             cursor.rows, cursor.report_path, count < cursor.labels ? "fewer" : "more", cursor.labels);
  else if (cursor.bad_rows == kReportedBadRows)
    snprintf(text, kWarningSize, "further rows of %s with the wrong word count are skipped quietly",
             cursor.report_path);
  return cursor.bad_rows <= kReportedBadRows;
}

}  // namespace

int star_set_pointer(FILE* stream, long n) {
  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head(stream, head.get());
  char line[TEXT_LINE_SIZE];
  char* words[3];  // enough to tell a label line of two words from a row
  long rows = 0;
  for (;;) {
    const long start = ftell(stream);
    empty_line(line);
    if (read_one_line(line, stream) == LINE_END) break;
    const int count = strnsplit_inplace_byspace(line, words, 3);
    if (is_words_star_table_end(words, count)) break;
    if (!is_words_starhead(words, count) && rows++ == n) {
      fseek(stream, start, SEEK_SET);
      return 0;
    }
  }
  fseek(stream, 0, SEEK_END);
  return 0;
}

int star_set_next_line(FILE* stream) {
  char line[TEXT_LINE_SIZE];
  read_one_line(line, stream);
  return 0;
}

int get_lineN_from_star(FILE* stream) {
  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head(stream, head.get());
  char line[TEXT_LINE_SIZE];
  char* words[1];
  int rows = 0;
  for (;;) {
    empty_line(line);
    if (read_one_line(line, stream) == LINE_END) break;
    const bool counts_when_blank = head->count == 1 && !is_str_null(line);
    if (strnsplit_inplace_byspace(line, words, 1) > 0 || counts_when_blank) ++rows;
  }
  return rows;
}

int get_lineN_from_starf(const char* path) {
  FilePtr file(fopen(path, "r"));
  if (!file) QUIB_FATAL_CANNOT_READ(kUnit, path);
  return get_lineN_from_star(file.get());
}

int get_starf_suffixn(const char* name) {
  const size_t length = strlen(name);
  return length >= 5 && strcmp(name + length - 5, ".star") == 0 ? 5 : 0;
}

void star_row_cursor_start(StarRowCursor& cursor, FILE* stream, const StarHead& head, const char* report_path) {
  cursor.stream = stream;
  cursor.labels = head.count;
  cursor.report_path = report_path;
  cursor.rows = 0;
  cursor.bad_rows = 0;
  cursor.ended = false;
  fseek(stream, head.rows_at, SEEK_SET);
}

char** star_next_row(StarRowCursor& cursor) {
  if (cursor.labels <= 0) return nullptr;
  while (!cursor.ended) {
    empty_line(cursor.line);
    const int read = read_one_line(cursor.line, cursor.stream);
    if (read == LINE_END) break;
    char text[kWarningSize];
    if (read == LINE_CUT && cursor.report_path) {
      cut_line_warning(cursor, text);
      QUIB_WARNING(kUnit, text);
    }
    const int count = strnsplit_inplace_byspace(cursor.line, cursor.words, cursor.labels + 1);
    cursor.ended = is_words_star_table_end(cursor.words, count);
    if (is_words_starhead(cursor.words, count)) continue;
    ++cursor.rows;
    if (count == cursor.labels) return cursor.words;
    if (cursor.report_path && bad_row_warning(cursor, count, text)) QUIB_WARNING(kUnit, text);
    ++cursor.bad_rows;
  }
  cursor.ended = true;
  return nullptr;
}

const char* star_row_word(const StarRowCursor& cursor, int column) {
  return column >= 1 && column <= cursor.labels ? cursor.words[column - 1] : nullptr;
}
