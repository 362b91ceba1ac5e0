// Command lines for the parameter tests: an argv built from words, and a parsed record.
#pragma once

#include <string>
#include <vector>

#include "run/options.h"
#include "run/quib_para.h"
#include "test_util.h"

// argv of a command line; the program name "quib" comes first.
class Args {
 public:
  Args(std::initializer_list<std::string> words) : words_{"quib"} {
    words_.insert(words_.end(), words);
    for (std::string& w : words_) pointers_.push_back(&w[0]);
    pointers_.push_back(nullptr);
  }
  Args(const Args&) = delete;
  Args& operator=(const Args&) = delete;
  int argc() const { return static_cast<int>(words_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char*> pointers_;
};

// A record filled from the command line and checked; what the parser printed goes to *printed.
inline QUIB_Para parsed(Args& args, std::string* printed = nullptr) {
  QUIB_Para para;
  Quib_init_parameters(args.argc(), args.argv(), &para);
  const std::string out = captured_stdout([&] { Quib_get_parameters(args.argc(), args.argv(), &para); });
  if (printed) *printed = out;
  return para;
}

// Parses and checks without capturing the output, for death tests (whose output must reach the
// death test's stream).
inline void parse_command_line(std::initializer_list<std::string> words) {
  Args args(words);
  QUIB_Para para;
  Quib_init_parameters(args.argc(), args.argv(), &para);
  Quib_get_parameters(args.argc(), args.argv(), &para);
}

// The lines of a text, without their line breaks.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}
