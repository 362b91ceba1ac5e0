#include "io/star_micrographs.h"

#include <memory>

#include "core/report.h"
#include "io/star_index.h"
#include "io/star_rows.h"

std::vector<std::string> star_read_all_micrographs(FILE* stream) {
  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head_with(stream, "_rlnMicrographName", head.get());
  ParticleInfoIndex index;
  set_info_index_from_star_head(head.get(), &index);
  std::vector<std::string> names;
  StarRowCursor cursor;
  star_row_cursor_start(cursor, stream, *head, nullptr);
  while (star_next_row(cursor)) {
    const char* name = star_row_word(cursor, index.micrograph_name);
    names.emplace_back(name ? name : "");
  }
  return names;
}

std::vector<std::string> get_all_micrographs_from_ctfstar(const char* path) {
  FilePtr file(fopen(path, "r"));
  if (!file) QUIB_FATAL_CANNOT_READ("star_micrographs.cpp", path);
  return star_read_all_micrographs(file.get());
}
