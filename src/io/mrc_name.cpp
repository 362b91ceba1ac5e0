#include "io/mrc_name.h"

#include <cstdio>
#include <cstring>

#include "core/report.h"

namespace {

bool ends_with(const char* name, size_t length, const char* tail) {
  const size_t tail_length = strlen(tail);
  return length >= tail_length && memcmp(name + length - tail_length, tail, tail_length) == 0;
}

}  // namespace

int get_micrograph_suffixn(const char* name) {
  const size_t length = strlen(name);
  if (ends_with(name, length, ".mrc")) return 4;
  if (ends_with(name, length, ".mrcs")) return 5;
  return 0;
}

int set_outname_by_suffix(char* out, const char* name, const char* suffix) {
  memset(out, 0, MRC_NAME_BUFFER_SIZE);
  const size_t stem = strlen(name) - get_micrograph_suffixn(name);
  const size_t suffix_length = strlen(suffix);
  if (stem + suffix_length >= MRC_NAME_BUFFER_SIZE) {
    printf("The output name for %s with the suffix %s would be longer than %zu characters.\n", name,
           suffix, MRC_NAME_BUFFER_SIZE - 1);
    QUIB_WARNING("mrc", "Output file name too long");
    return -1;
  }
  memcpy(out, name, stem);
  memcpy(out + stem, suffix, suffix_length);
  return 0;
}
