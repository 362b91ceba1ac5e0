#include "run/quiet_output.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

namespace {

struct LineFilter {
  int fd;                        // the original standard output
  std::string pending;           // the line being completed
  bool summary = false;          // inside the run's final summary
  std::deque<std::string> held;  // the last lines held back: an error shows them as its context
};

constexpr size_t kContextLines = 3;

// The filter behind stdout. It lives as long as the process: stdout is flushed through it at exit,
// after every destructor, so it is held here and never destroyed while stdout uses it.
LineFilter* active_filter = nullptr;

// The text of a line without the terminal escape sequences that colour it.
std::string plain_text(const std::string& line) {
  std::string text;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\033') {
      while (i < line.size() && line[i] != 'm') ++i;
      continue;
    }
    text += line[i];
  }
  return text;
}

bool starts_with(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool is_essential(LineFilter& f, const std::string& line) {
  const std::string text = plain_text(line);
  if (text.find("files finished successfully") != std::string::npos) f.summary = true;
  if (f.summary) {
    if (starts_with(text, "#")) f.summary = false;
    return !starts_with(text, "#");
  }
  for (const char* prefix : {"[", "Warning", "Waring", "Error", "Cannot", "Writing to file", "Note:", "Skipped",
                             "Measuring the fastest FFT", "Watching", "Watch of"})
    if (starts_with(text, prefix)) return true;
  return false;
}

void write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n <= 0) return;
    data += n;
    size -= static_cast<size_t>(n);
  }
}

// An essential line goes out, after the lines held back before an error; any other line is held
// back in place of the oldest.
void pass_on(LineFilter& f, const std::string& line) {
  if (!is_essential(f, line)) {
    f.held.push_back(line);
    if (f.held.size() > kContextLines) f.held.pop_front();
    return;
  }
  if (plain_text(line).rfind("Error", 0) == 0)
    for (const std::string& context : f.held) write_all(f.fd, context.data(), context.size());
  f.held.clear();
  write_all(f.fd, line.data(), line.size());
}

ssize_t filter_write(void* cookie, const char* data, size_t size) {
  LineFilter& f = *static_cast<LineFilter*>(cookie);
  for (size_t i = 0; i < size; ++i) {
    f.pending += data[i];
    if (data[i] != '\n') continue;
    pass_on(f, f.pending);
    f.pending.clear();
  }
  return static_cast<ssize_t>(size);
}

int filter_close(void* cookie) {
  LineFilter* f = static_cast<LineFilter*>(cookie);
  if (!f->pending.empty()) pass_on(*f, f->pending);
  if (f == active_filter) active_filter = nullptr;
  delete f;
  return 0;
}

}  // namespace

void keep_only_essential_output() {
  fflush(stdout);
  const int original = dup(STDOUT_FILENO);
  if (original < 0) return;
  cookie_io_functions_t functions{};
  functions.write = filter_write;
  functions.close = filter_close;
  active_filter = new LineFilter();
  active_filter->fd = original;
  FILE* filtered = fopencookie(active_filter, "w", functions);
  if (!filtered) {
    delete active_filter;
    active_filter = nullptr;
    close(original);
    return;
  }
  setvbuf(filtered, nullptr, _IOLBF, 0);
  stdout = filtered;
}
