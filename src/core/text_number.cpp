#include "core/text_number.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

bool text_to_finite_float(const char* word, float* value) {
  const char* first = word;
  // from_chars takes no plus sign, which C conversions do.
  if (first[0] == '+' && first[1] != '-' && first[1] != '+') ++first;
  const char* last = word + strlen(word);
  double parsed = 0.0;
  const std::from_chars_result read = std::from_chars(first, last, parsed, std::chars_format::general);
  if (read.ec != std::errc() || read.ptr != last) return false;
  if (!std::isfinite(parsed) || std::fabs(parsed) > std::numeric_limits<float>::max()) return false;
  *value = static_cast<float>(parsed);
  return true;
}
