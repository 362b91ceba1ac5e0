#include "io/star_head.h"

#include <cstring>

#include "core/report.h"
#include "core/text_lines.h"
#include "io/star_labels.h"

namespace {

const char* const kUnit = "star_head.cpp";
const char* const kHeadDelimiters = " \t\n\r";

bool begins_with(const char* word, const char* prefix) { return strncmp(word, prefix, strlen(prefix)) == 0; }

bool is_block_keyword(const char* word) { return begins_with(word, "data_") || begins_with(word, "loop_"); }

// A label keeps the column of its "#N" word; without one it takes its place in the loop, as
// RELION numbers them.
void append_label(StarHead* head, const char* label, const char* number) {
  const size_t length = strlen(label);
  if (length >= static_cast<size_t>(STAR_LABEL_SIZE)) {
    if (head->long_label == 0) head->long_label = length;
  } else {
    memcpy(head->label[head->count], label, length + 1);
  }
  head->column[head->count] = number && number[0] == '#' ? text_to_int(number + 1) : head->count + 1;
  ++head->count;
}

enum class TableEnd { Rows, Keyword, File };

// Reads the labels of the table that starts at the stream's position into head, which holds the
// block name it inherits. Stops with the stream at the line that ends the header (a data row, or
// a "data_" or "loop_" line after labels), which is also where head->rows_at points.
TableEnd read_table_head(FILE* stream, StarHead* head) {
  char line[TEXT_LINE_SIZE];
  char* words[2];
  for (int lines = 1;; ++lines) {
    const long at = ftell(stream);
    head->rows_at = at;
    empty_line(line);
    if (read_one_line(line, stream) == LINE_END) return TableEnd::File;
    const int kind = star_head_line_kind(line, words);
    if (kind == STAR_LINE_OTHER || (kind != STAR_LINE_SKIP && kind != STAR_LINE_LABEL && head->count > 0)) {
      fseek(stream, at, SEEK_SET);
      return kind == STAR_LINE_OTHER ? TableEnd::Rows : TableEnd::Keyword;
    }
    if (kind == STAR_LINE_BLOCK) snprintf(head->block, STAR_LABEL_SIZE, "%s", words[0] + strlen("data_"));
    if (kind != STAR_LINE_LABEL) continue;
    // Each label takes a line, so the line limit also keeps the labels within the table.
    if (lines <= STAR_MAX_LABELS)
      append_label(head, words[0], words[1]);
    else
      head->cut = 1;
  }
}

// Passes over the rows of a table; false at the end of the stream, else true with the stream at
// the "data_" or "loop_" line that ends them.
bool skip_rows(FILE* stream) {
  char line[TEXT_LINE_SIZE];
  char* words[2];
  for (;;) {
    const long at = ftell(stream);
    empty_line(line);
    if (read_one_line(line, stream) == LINE_END) return false;
    const int count = strnsplit_inplace(line, kHeadDelimiters, words, 2);
    if (is_words_star_table_end(words, count)) {
      fseek(stream, at, SEEK_SET);
      return true;
    }
  }
}

using TableTest = bool (*)(const StarHead& head, const char* key);

bool is_any_table(const StarHead&, const char*) { return true; }

bool holds_label(const StarHead& head, const char* label) {
  for (int i = 0; i < head.count; ++i)
    if (strcmp(head.label[i], label) == 0) return true;
  return false;
}

bool is_of_block(const StarHead& head, const char* block) { return strcmp(head.block, block) == 0; }

// Reads table after table from the stream's position until one passes the test; true with the
// stream at that table's rows, false with head holding the last table. The first table read
// inherits the block of the table that head holds.
bool next_table(FILE* stream, StarHead* head, TableTest wanted, const char* key) {
  char block[STAR_LABEL_SIZE];
  memcpy(block, head->block, sizeof block);
  for (;;) {
    star_head_empty(head);
    memcpy(head->block, block, sizeof block);
    const TableEnd end = read_table_head(stream, head);
    if (wanted(*head, key)) {
      fseek(stream, head->rows_at, SEEK_SET);
      return true;
    }
    if (end == TableEnd::File || (end == TableEnd::Rows && !skip_rows(stream))) return false;
    memcpy(block, head->block, sizeof block);
  }
}

bool find_table(FILE* stream, StarHead* head, TableTest wanted, const char* key) {
  rewind(stream);
  star_head_empty(head);
  return next_table(stream, head, wanted, key);
}

// Room for a warning that quotes a file name.
constexpr size_t kWarningSize = TEXT_LINE_SIZE + 256;

// Warns of the labels the header could not keep, in the name of the calling function.
void report_lost_labels(const StarHead& head, const char* path, const char* function) {
  char text[kWarningSize];
  if (head.long_label) {
    snprintf(text, sizeof text,
             "the header of %s has a label of %zu characters, longer than the 255 a label may have; its column "
             "is not read",
             path, head.long_label);
    quib_warning(function, kUnit, __LINE__, text);
  }
  if (head.cut) {
    snprintf(text, sizeof text, "the header of %s has more than %d lines; labels after its first %d lines are not read",
             path, STAR_MAX_LABELS, STAR_MAX_LABELS);
    quib_warning(function, kUnit, __LINE__, text);
  }
}

}  // namespace

std::unique_ptr<StarHead> star_head_new() {
  std::unique_ptr<StarHead> head(new StarHead);
  star_head_empty(head.get());
  return head;
}

int star_head_empty(StarHead* head) {
  memset(head, 0, sizeof(StarHead));
  return 0;
}

int star_head_line_kind(char* line, char* words[2]) {
  const int count = strnsplit_inplace(line, kHeadDelimiters, words, 2);
  if (count < 2) words[1] = nullptr;
  if (count == 0 || words[0][0] == '#') return STAR_LINE_SKIP;
  if (words[0][0] == '_') return STAR_LINE_LABEL;
  // A keyword stands alone on its line; a row may begin with a name such as "data_7/a.mrc".
  if (count == 1 && begins_with(words[0], "data_")) return STAR_LINE_BLOCK;
  if (count == 1 && begins_with(words[0], "loop_")) return STAR_LINE_LOOP;
  return STAR_LINE_OTHER;
}

int star_read_head(FILE* stream, StarHead* head, const char* report_path) {
  find_table(stream, head, is_any_table, nullptr);
  if (report_path) report_lost_labels(*head, report_path, __func__);
  return 0;
}

int star_read_head_with(FILE* stream, const char* label, StarHead* head, const char* report_path) {
  const bool found = find_table(stream, head, holds_label, label);
  if (!found) find_table(stream, head, is_any_table, nullptr);
  if (report_path) report_lost_labels(*head, report_path, __func__);
  return found ? 1 : 0;
}

int star_read_head_of_block(FILE* stream, const char* block, StarHead* head) {
  if (find_table(stream, head, is_of_block, block)) return 1;
  star_head_empty(head);
  fseek(stream, 0, SEEK_END);
  head->rows_at = ftell(stream);
  return 0;
}

int star_count_tables_with(FILE* stream, const char* label) {
  std::unique_ptr<StarHead> head = star_head_new();
  int tables = 0;
  for (bool found = find_table(stream, head.get(), holds_label, label); found;
       found = skip_rows(stream) && next_table(stream, head.get(), holds_label, label))
    ++tables;
  return tables;
}

int starf_read_head(const char* path, StarHead* head) {
  FilePtr file(fopen(path, "r"));
  if (!file) QUIB_FATAL_CANNOT_READ(kUnit, path);
  return star_read_head(file.get(), head);
}

int starf_read_head_with(const char* path, const char* label, StarHead* head) {
  FilePtr file(fopen(path, "r"));
  if (!file) QUIB_FATAL_CANNOT_READ(kUnit, path);
  return star_read_head_with(file.get(), label, head);
}

int is_words_starhead(char** words, int count) {
  if (count <= 0 || words[0][0] == '#') return 1;
  if (count <= 2 && is_star_head_keyword(words[0])) return 1;
  return is_words_star_table_end(words, count);
}

int is_words_star_table_end(char** words, int count) { return count == 1 && is_block_keyword(words[0]) ? 1 : 0; }
