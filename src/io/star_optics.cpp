#include "io/star_optics.h"

#include <memory>

#include "core/text_lines.h"
#include "io/star_head.h"
#include "io/star_rows.h"

StarOptics star_read_optics(FILE* stream) {
  StarOptics optics;
  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head_of_block(stream, "optics", head.get());
  set_info_index_from_star_head(head.get(), &optics.index);
  StarRowCursor cursor;
  star_row_cursor_start(cursor, stream, *head, nullptr);
  while (char** words = star_next_row(cursor)) optics.rows.emplace_back(words, words + head->count);
  return optics;
}

const char* star_optics_word(const StarOptics& optics, const char* group, const char* label) {
  const int wanted = text_to_int(group);
  const int group_column = optics.index.optics_group;
  const int column = get_info_index_from_keyword(label, &optics.index);
  if (wanted < 1 || group_column < 1 || column < 1) return nullptr;
  for (const std::vector<std::string>& row : optics.rows) {
    if (static_cast<size_t>(group_column) > row.size() || static_cast<size_t>(column) > row.size()) return nullptr;
    if (text_to_int(row[group_column - 1].c_str()) == wanted) return row[column - 1].c_str();
  }
  return nullptr;
}
