#include "io/star_head.h"

#include <cstring>

#include "core/report.h"
#include "core/text_lines.h"
#include "io/star_labels.h"

namespace {

const char* const kUnit = "star_head.cpp";
const char* const kHeadDelimiters = " \t\n\r";

bool begins_with(const char* word, const char* prefix) {
  return strncmp(word, prefix, strlen(prefix)) == 0;
}

bool is_block_keyword(const char* word) { return begins_with(word, "data_") || begins_with(word, "loop_"); }

void append_label(StarHead* head, const char* label, const char* number) {
  snprintf(head->label[head->count], STAR_LABEL_SIZE, "%s", label);
  head->column[head->count] = text_to_int(number + 1);
  ++head->count;
}

// Room for a warning that quotes a line and a file name.
constexpr size_t kWarningSize = 2 * TEXT_LINE_SIZE + 256;

// A header that stops at a line beginning like a label or a comment has lost columns the user
// meant to give: the text of a warning that says which line stopped it, or false for a data row.
bool early_end_warning(const char* first_word, const char* path, char* text) {
  if (first_word[0] != '_' && first_word[0] != '#') return false;
  const size_t length = strlen(first_word);
  if (length >= static_cast<size_t>(STAR_LABEL_SIZE))
    snprintf(text, kWarningSize,
             "the header of %s ends at a label of %zu characters, longer than the 255 a label may have",
             path, length);
  else
    snprintf(text, kWarningSize,
             "the header of %s ends at \"%s\": only known labels followed by #N are read, and no "
             "comment lines; later labels are not read",
             path, first_word);
  return true;
}

// After the last line the parser examines, a further label line means labels were lost: the
// text of a warning, or false.
bool long_header_warning(FILE* stream, const char* path, char* text) {
  char line[TEXT_LINE_SIZE];
  char* words[2];
  empty_line(line);
  if (read_one_line(line, stream) == LINE_END) return false;
  if (star_head_line_kind(line, words) != STAR_LINE_LABEL) return false;
  snprintf(text, kWarningSize,
           "the header of %s has more than %d lines; labels after its first %d lines are not read",
           path, STAR_MAX_LABELS, STAR_MAX_LABELS);
  return true;
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
  if (count == 2 && is_star_head_keyword(words[0]) && words[1][0] == '#') return STAR_LINE_LABEL;
  if (count == 0 || is_block_keyword(words[0])) return STAR_LINE_SKIP;
  return STAR_LINE_OTHER;
}

int star_read_head(FILE* stream, StarHead* head, const char* report_path) {
  star_head_empty(head);
  rewind(stream);
  char line[TEXT_LINE_SIZE];
  char* words[2];
  char text[kWarningSize];
  // Each label takes a line, so the line limit also keeps the labels within the table.
  for (int lines = 0; lines < STAR_MAX_LABELS; ++lines) {
    if (feof(stream)) return 0;
    empty_line(line);
    read_one_line(line, stream);
    const int kind = star_head_line_kind(line, words);
    if (kind == STAR_LINE_LABEL) {
      append_label(head, words[0], words[1]);
    } else if (kind == STAR_LINE_OTHER) {
      if (report_path && early_end_warning(words[0], report_path, text)) QUIB_WARNING(kUnit, text);
      return 0;
    }
  }
  if (report_path && long_header_warning(stream, report_path, text)) QUIB_WARNING(kUnit, text);
  return 0;
}

int starf_read_head(const char* path, StarHead* head) {
  FilePtr file(fopen(path, "r"));
  if (!file) QUIB_FATAL_CANNOT_READ(kUnit, path);
  return star_read_head(file.get(), head);
}

int is_words_starhead(char** words, int count) {
  if (count <= 0) return 1;
  if (count <= 2 && is_star_head_keyword(words[0])) return 1;
  return is_block_keyword(words[0]) ? 1 : 0;
}
