// Fuzzes the STAR readers over arbitrary bytes: header parse and table search (several blocks, an
// optics table, labels with or without numbers, comments), positioning, row count, micrograph
// names and CTF values. Checks that the readers agree on the rows they keep and that no CTF value
// is infinite, not a number, or a negative defocus. Run it with its dictionary and seed files:
//   fuzz_star -dict=fuzz/star.dict CORPUS fuzz/star_seeds
#include <cmath>
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
#include "io/star_optics.h"
#include "io/star_rows.h"

namespace {

void check_head(const StarHead& head, size_t size) {
  if (head.count < 0 || head.count > STAR_MAX_LABELS) abort();
  if (head.rows_at < 0 || head.rows_at > static_cast<long>(size)) abort();
  if (strnlen(head.block, STAR_LABEL_SIZE) == static_cast<size_t>(STAR_LABEL_SIZE)) abort();
  for (int i = 0; i < head.count; ++i)
    if (strnlen(head.label[i], STAR_LABEL_SIZE) == static_cast<size_t>(STAR_LABEL_SIZE)) abort();
}

bool holds(const StarHead& head, const char* label) {
  for (int i = 0; i < head.count; ++i)
    if (strcmp(head.label[i], label) == 0) return true;
  return false;
}

// A table found by its label holds it; one found by its block has that name.
void check_table_search(FILE* stream, size_t size) {
  std::unique_ptr<StarHead> head = star_head_new();
  for (const char* label : {"_rlnMicrographName", "_rlnCoordinateX"}) {
    const int found = star_read_head_with(stream, label, head.get(), "fuzz.star");
    check_head(*head, size);
    if (found && !holds(*head, label)) abort();
  }
  if (star_read_head_of_block(stream, "optics", head.get()) && strcmp(head->block, "optics") != 0) abort();
  check_head(*head, size);
}

bool is_usable(const CTF_INFO& r) {
  for (float v : {r.kV, r.Cs, r.ac, r.phase_shift, r.defocus_u, r.defocus_v, r.angle, r.bfactor})
    if (!std::isfinite(v)) return false;
  return r.defocus_u >= 0.0f && r.defocus_v >= 0.0f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  std::string text(reinterpret_cast<const char*>(data), size);
  FilePtr stream(fmemopen(&text[0], size, "r"));
  if (!stream) return 0;

  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head(stream.get(), head.get(), "fuzz.star");
  check_head(*head, size);
  ParticleInfoIndex index;
  set_info_index_from_star_head(head.get(), &index);
  check_table_search(stream.get(), size);

  const StarOptics optics = star_read_optics(stream.get());
  for (const std::vector<std::string>& row : optics.rows)
    star_optics_word(optics, row.empty() ? "1" : row[0].c_str(), "_rlnVoltage");

  star_set_pointer(stream.get(), data[0] % 8);
  const int rows = get_lineN_from_star(stream.get());
  const std::vector<std::string> names = star_read_all_micrographs(stream.get());
  const std::vector<CTF_INFO> records = star_read_all_ctfinfo(stream.get(), "fuzz.star");
  // Callers size their lists by the row count and pair names with records.
  if (names.size() != records.size() || names.size() > static_cast<size_t>(rows)) abort();
  for (const CTF_INFO& r : records)
    if (!is_usable(r)) abort();
  return 0;
}
