// Helpers shared by the test suites: temporary folders, captured standard output, and death tests
// for fatal errors (which print to standard output, while death tests read standard error).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// A fresh folder under /tmp, removed with its contents when the object goes.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/quib_test_XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "/tmp";
  }
  ~TempDir() {
    if (path_ != "/tmp") {
      const std::string command = "rm -rf '" + path_ + "'";
      if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path_.c_str());
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs the statement and returns what it printed to standard output.
template <class F>
std::string captured_stdout(F&& statement) {
  fflush(stdout);
  testing::internal::CaptureStdout();
  statement();
  fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

// Expects the statement to end the process with the given status after printing text that
// matches the regular expression to standard output.
#define EXPECT_EXIT_STDOUT(statement, status, regex)       \
  EXPECT_EXIT(                                             \
      {                                                    \
        fflush(stdout);                                    \
        dup2(STDERR_FILENO, STDOUT_FILENO);                \
        statement;                                         \
      },                                                   \
      ::testing::ExitedWithCode(status), regex)

struct CommandResult {
  int status = -1;     // exit status, -1 when the command did not exit normally
  std::string output;  // standard output and standard error together
};

// Runs a shell command and collects what it prints.
inline CommandResult run_command(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

// Writes a text file named `name` in the folder and returns its path.
inline std::string write_text_file(const TempDir& dir, const std::string& name, const std::string& text) {
  const std::string path = dir.file(name);
  if (FILE* f = fopen(path.c_str(), "w")) {
    fputs(text.c_str(), f);
    fclose(f);
  }
  return path;
}

// Reads a whole text file ("" when it cannot be read).
inline std::string read_text_file(const std::string& path) {
  std::string text;
  if (FILE* f = fopen(path.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
  }
  return text;
}

// How many times `needle` occurs in `text`.
inline int count_occurrences(const std::string& text, const std::string& needle) {
  int count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
  return count;
}

// The Pearson correlation of two equally long series.
template <class T>
double correlation(const std::vector<T>& a, const std::vector<T>& b) {
  double ma = 0, mb = 0;
  for (size_t i = 0; i < a.size(); ++i) ma += a[i], mb += b[i];
  ma /= a.size();
  mb /= b.size();
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[i] - mb) * (b[i] - mb);
  }
  return ab / std::sqrt(aa * bb);
}
