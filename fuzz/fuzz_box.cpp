// Fuzzes the particle box reader in both formats, without the fatal exit of read_all_ptcl_boxes,
// then resizes the boxes and generates neighbour boxes around the first.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/text_lines.h"
#include "io/ptcl_box.h"
#include "io/ptcl_box_neighbors.h"
#include "io/ptcl_box_reader.h"

namespace {

void parse_as(const std::string& text, int format, int capacity, std::vector<PTCL_BOX>& boxes) {
  std::string copy = text;
  FilePtr stream(fmemopen(&copy[0], copy.size(), "r"));
  if (!stream) return;
  const PtclBoxParse parsed = parse_ptcl_boxes(stream.get(), format, boxes.data(), capacity, "fuzz");
  if (parsed.count < 0 || parsed.count > capacity) abort();
  if (parsed.bad_line != 0 && (parsed.bad_words < 1 || parsed.bad_words > 3)) abort();
  resize_ptcl_boxes(boxes.data(), parsed.count, 64);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // The first bytes choose the capacity and the neighbour grid; the rest is the file.
  const int capacity = 1 + data[0] % 64;
  const float radius = static_cast<float>(data[1]) * 4.0f;
  const int step = data[2] % 32;
  const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);
  if (text.empty()) return 0;

  std::vector<PTCL_BOX> boxes(capacity);
  parse_as(text, BOXF_EMAN, capacity, boxes);
  parse_as(text, BOXF_STAR, capacity, boxes);

  std::vector<PTCL_BOX> neighbours(PTCL_BOX_CAPACITY);
  const int made = auto_generate_neighbor_boxes(neighbours.data(), PTCL_BOX_CAPACITY, &boxes[0], radius, 64, step);
  if (made != count_neighbor_boxes(radius, step) && made != PTCL_BOX_CAPACITY) abort();
  return 0;
}
