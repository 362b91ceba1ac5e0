// Helpers shared by the test suites: temporary folders, captured standard output, and death tests
// for fatal errors (which print to standard output, while death tests read standard error).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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
