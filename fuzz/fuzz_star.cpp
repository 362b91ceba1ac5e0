// Fuzzes the STAR readers over arbitrary bytes: header parse, positioning, row count, micrograph
// names and CTF values, and checks that the readers agree on the rows they keep.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/text_lines.h"
#include "io/ctf_star_reader.h"
#include "io/star_head.h"
#include "io/star_index.h"
#include "io/star_micrographs.h"
#include "io/star_rows.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  std::string text(reinterpret_cast<const char*>(data), size);
  FilePtr stream(fmemopen(&text[0], size, "r"));
  if (!stream) return 0;

  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head(stream.get(), head.get(), "fuzz.star");
  if (head->count < 0 || head->count > STAR_MAX_LABELS) abort();
  for (int i = 0; i < head->count; ++i)
    if (strnlen(head->label[i], STAR_LABEL_SIZE) == static_cast<size_t>(STAR_LABEL_SIZE)) abort();
  ParticleInfoIndex index;
  set_info_index_from_star_head(head.get(), &index);

  star_set_pointer(stream.get(), data[0] % 8);
  const int rows = get_lineN_from_star(stream.get());
  const std::vector<std::string> names = star_read_all_micrographs(stream.get());
  const std::vector<CTF_INFO> records = star_read_all_ctfinfo(stream.get(), "fuzz.star");
  // Callers size their lists by the row count and pair names with records.
  if (names.size() != records.size() || names.size() > static_cast<size_t>(rows)) abort();
  return 0;
}
