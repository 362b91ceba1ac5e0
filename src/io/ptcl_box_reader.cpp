#include "io/ptcl_box_reader.h"

#include <cstdlib>
#include <memory>

#include "core/report.h"
#include "core/text_lines.h"
#include "io/star_index.h"
#include "io/star_rows.h"

namespace {

const char* const kUnit = "ptcl_box_reader.cpp";
const int kEmanMaxWords = 7;

constexpr size_t kWarningSize = TEXT_LINE_SIZE + 160;

void full_table_warning(int capacity, const char* path, char* text) {
  snprintf(text, kWarningSize, "the table of %d boxes is full; the rest of %s is not read", capacity, path);
}

// Words 1-4: corner and size; 5: score; 6: class; 7: angle; absent fields stay 0.
PTCL_BOX eman_box(char** words, int count) {
  PTCL_BOX box = one_new_ptcl_box();
  box.x = text_to_int(words[0]);
  box.y = text_to_int(words[1]);
  box.width = text_to_int(words[2]);
  box.height = text_to_int(words[3]);
  if (count >= 5) box.score = static_cast<float>(atof(words[4]));
  if (count >= 6) box.class_id = text_to_int(words[5]);
  if (count >= 7) box.angle = static_cast<float>(atof(words[6]));
  return box;
}

// Whether a line with a word follows.
bool more_words_follow(FILE* stream) {
  char line[TEXT_LINE_SIZE];
  char* words[1];
  for (;;) {
    empty_line(line);
    if (read_one_line(line, stream) == LINE_END) return false;
    if (strnsplit_inplace_byspace(line, words, 1) > 0) return true;
  }
}

PtclBoxParse parse_eman(FILE* stream, PTCL_BOX* boxes, int capacity, const char* path) {
  PtclBoxParse result{0, 0, 0};
  char line[TEXT_LINE_SIZE];
  char* words[kEmanMaxWords];
  char text[kWarningSize];
  int number = 0;
  while (!feof(stream) && result.count < capacity) {
    empty_line(line);
    const int read = read_one_line(line, stream);
    if (read == LINE_END) break;
    ++number;
    if (read == LINE_CUT && path) {
      snprintf(text, sizeof text, "line %d of %s is longer than 1023 characters; its rest is read as another line",
               number, path);
      QUIB_WARNING(kUnit, text);
    }
    const int count = strnsplit_inplace_byspace(line, words, kEmanMaxWords);
    if (count == 0) continue;
    if (count < 4) {
      result.bad_line = number;
      result.bad_words = count;
      return result;
    }
    boxes[result.count++] = eman_box(words, count);
  }
  if (path && capacity > 0 && result.count == capacity && more_words_follow(stream)) {
    full_table_warning(capacity, path, text);
    QUIB_WARNING(kUnit, text);
  }
  return result;
}

// The particle's centre from the coordinate columns; psi, class and figure of merit when the
// table has them.
PTCL_BOX star_box(const StarRowCursor& cursor, const ParticleInfoIndex& index) {
  PTCL_BOX box = one_new_ptcl_box();
  box.x = text_to_int(star_row_word(cursor, index.coordinate_x));
  box.y = text_to_int(star_row_word(cursor, index.coordinate_y));
  if (const char* score = star_row_word(cursor, index.autopick_figure_of_merit))
    box.score = static_cast<float>(atof(score));
  if (const char* class_id = star_row_word(cursor, index.class_number)) box.class_id = text_to_int(class_id);
  if (const char* angle = star_row_word(cursor, index.angle_psi)) box.angle = static_cast<float>(text_to_int(angle));
  return box;
}

bool is_column_of(const StarHead& head, int column) { return column >= 1 && column <= head.count; }

PtclBoxParse parse_star(FILE* stream, PTCL_BOX* boxes, int capacity, const char* path) {
  PtclBoxParse result{0, 0, 0};
  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head_with(stream, "_rlnCoordinateX", head.get(), path);
  ParticleInfoIndex index;
  set_info_index_from_star_head(head.get(), &index);
  char text[kWarningSize];
  if (!is_column_of(*head, index.coordinate_x) || !is_column_of(*head, index.coordinate_y)) {
    if (path) {
      snprintf(text, sizeof text,
               "the coordinate file %s has no usable _rlnCoordinateX and _rlnCoordinateY columns; "
               "no particle is read from it",
               path);
      QUIB_WARNING(kUnit, text);
    }
    return result;
  }
  StarRowCursor cursor;
  star_row_cursor_start(cursor, stream, *head, path);
  while (result.count < capacity && star_next_row(cursor)) boxes[result.count++] = star_box(cursor, index);
  if (path && capacity > 0 && result.count == capacity && star_next_row(cursor)) {
    full_table_warning(capacity, path, text);
    QUIB_WARNING(kUnit, text);
  }
  return result;
}

}  // namespace

PtclBoxParse parse_ptcl_boxes(FILE* stream, int format, PTCL_BOX* boxes, int capacity, const char* report_path) {
  if (format == BOXF_STAR) return parse_star(stream, boxes, capacity, report_path);
  if (format == BOXF_EMAN) return parse_eman(stream, boxes, capacity, report_path);
  return PtclBoxParse{0, 0, 0};
}

int read_all_ptcl_boxes(PTCL_BOX* boxes, int capacity, const char* path) {
  FilePtr file(fopen(path, "r"));
  if (!file) QUIB_FATAL_CANNOT_READ(kUnit, path);
  empty_all_ptcl_boxes(boxes, capacity);
  const int format = get_boxf_suffixf(path);
  if (format == BOXF_UNKNOWN) {
    QUIB_WARNING(kUnit, "unrecognized box file format, only EMAN .box and Relion .star file are supported now.");
    return 0;
  }
  const PtclBoxParse parsed = parse_ptcl_boxes(file.get(), format, boxes, capacity, path);
  if (parsed.bad_line) {
    printf("Line %d of %s holds %d word(s); a box line needs four to seven.\n", parsed.bad_line, path,
           parsed.bad_words);
    QUIB_FATAL(kUnit, "unrecognized box format!");
  }
  return parsed.count;
}

int get_ptcl_number_from_boxf(const char* path) {
  FilePtr file(fopen(path, "r"));
  if (!file) {
    printf("Cannot open file %s!\n", path);
    QUIB_FATAL(kUnit, "open file failed.");
  }
  char line[TEXT_LINE_SIZE];
  char* words[kEmanMaxWords + 1];
  int boxes = 0;
  for (;;) {
    empty_line(line);
    if (read_one_line(line, file.get()) == LINE_END) return boxes;
    if (strnsplit_inplace_byspace(line, words, kEmanMaxWords + 1) == kEmanMaxWords) ++boxes;
  }
}
