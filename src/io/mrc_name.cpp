#include "io/mrc_name.h"

#include <cstring>

namespace {

bool ends_with(const char* name, size_t length, const char* tail) {
  const size_t tail_length = strlen(tail);
  return length >= tail_length && memcmp(name + length - tail_length, tail, tail_length) == 0;
}

}  // namespace

int get_micrograph_suffixn(const char* name, StackSuffix stack) {
  const size_t length = strlen(name);
  for (const char* suffix : {".mrc", ".tif", ".tiff"})
    if (ends_with(name, length, suffix)) return static_cast<int>(strlen(suffix));
  if (stack == StackSuffix::kDropped && ends_with(name, length, ".mrcs")) return 5;
  return 0;
}

std::string mrc_outname(const char* name, const char* suffix, StackSuffix stack) {
  return std::string(name, strlen(name) - get_micrograph_suffixn(name, stack)) + suffix;
}
