// Reading back what a stage wrote to a log stream, for the search and refinement suites.
#pragma once

#include <cstdio>
#include <string>

namespace log_text {

// The whole content of a stream opened for update (tmpfile()).
inline std::string contents(FILE* f) {
  fflush(f);
  rewind(f);
  std::string text;
  for (int c; (c = fgetc(f)) != EOF;) text += static_cast<char>(c);
  return text;
}

inline size_t occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

}  // namespace log_text
