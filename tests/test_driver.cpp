// The whole program on small simulated micrographs: help and option errors, the per-file loop
// (missing files, a micrograph of another size, logs and timings) and resuming with do_unfinished.
#include <gtest/gtest.h>

#include <string>

#include "quib_runs.h"
#include "test_util.h"

namespace {

using quib_runs::run_quib;

void write_micrograph(const std::string& path, int size, uint64_t seed) {
  quib_runs::write_simulated(path, quib_runs::micrograph_params(size, 1.5f, 15000.0f, 15000.0f, 0.0f, seed));
}

TEST(Driver, HelpAndOptionErrors) {
  TempDir dir;
  const CommandResult bare = run_quib(dir, "");
  EXPECT_EQ(bare.status, 0);
  EXPECT_NE(bare.output.find("Usage:"), std::string::npos);
  EXPECT_EQ(bare.output.find("All valid options:"), std::string::npos);

  const CommandResult help = run_quib(dir, "-HELP");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("Tips"), std::string::npos);

  const CommandResult no_files = run_quib(dir, "--apix 1.0");
  EXPECT_EQ(no_files.status, 1);
  EXPECT_NE(no_files.output.find("Error: No files to be processed.\n"), std::string::npos);
  EXPECT_NE(no_files.output.find("Usage:"), std::string::npos);

  const CommandResult unknown = run_quib(dir, "--apix 1.0 --no_such_option a.mrc");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.output.find("Failed to recognize option: --no_such_option! Exit now. Check your input please."),
            std::string::npos);
  EXPECT_NE(unknown.output.find("All valid options:"), std::string::npos);
}

TEST(Driver, WalksTheListAndSkipsMissingFilesAndOtherSizes) {
  TempDir dir;
  for (const char* name : {"a.mrc", "b.mrc", "c.mrc"}) write_micrograph(dir.file(name), 256, name[0]);
  write_micrograph(dir.file("small.mrc"), 192, 9);

  const CommandResult run = run_quib(dir, "--apix 1.5 --boxsize 256 a.mrc missing.mrc b.mrc small.mrc c.mrc");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_EQ(count_occurrences(run.output, "Processing done successfully."), 3);
  EXPECT_NE(run.output.find("the file missing.mrc does NOT exist! Automatically ignored!"), std::string::npos);
  EXPECT_NE(run.output.find("3 of 5 files finished successfully; 2 skipped:\n"
                            "  missing.mrc: it does not exist\n"
                            "  small.mrc: it is 192 x 192 x 1 in mode 2 (Float), but the run's first micrograph "
                            "a.mrc is 256 x 256 x 1 in mode 2 (Float)"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(count_occurrences(run.output, ">>>>>>TIME<<<<<<                         READING: "), 3);
  EXPECT_EQ(count_occurrences(run.output, ">>>>>>TIME<<<<<<                             FFT: "), 3);
  EXPECT_EQ(count_occurrences(run.output, ">>>>>>TIME<<<<<<                     PREPARATION: "), 1);
  for (const char* log : {"a_quib.log", "b_quib.log", "c_quib.log"}) {
    const std::string text = read_text_file(dir.file(log));
    EXPECT_NE(text.find("Reading file: "), std::string::npos) << log;
    EXPECT_EQ(text.substr(text.size() - 30), "Processing done successfully.\n") << log;
  }
  EXPECT_EQ(read_text_file(dir.file("small_quib.log")).find("Processing done successfully"), std::string::npos);
}

TEST(Driver, DoUnfinishedSkipsOnlyCompletedMicrographs) {
  TempDir dir;
  for (const char* name : {"a.mrc", "b.mrc"}) write_micrograph(dir.file(name), 256, name[0]);
  const std::string arguments = "--apix 1.5 --boxsize 256 --do_unfinished a.mrc b.mrc";
  const CommandResult first = run_quib(dir, arguments);
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_EQ(count_occurrences(first.output, "Processing done successfully."), 2);

  // An interrupted run leaves a log without its completion line.
  FILE* log = fopen(dir.file("b_quib.log").c_str(), "w");
  ASSERT_NE(log, nullptr);
  fputs("Reading file: b.mrc\n", log);
  fclose(log);

  const CommandResult second = run_quib(dir, arguments);
  EXPECT_EQ(second.status, 0);
  EXPECT_NE(second.output.find("CTF parameter of \033[42ma.mrc\033[m already determined. Automatically skipped.\n"),
            std::string::npos);
  EXPECT_EQ(second.output.find("\033[42mb.mrc\033[m already determined"), std::string::npos);
  EXPECT_EQ(count_occurrences(second.output, "Processing done successfully."), 1);
  EXPECT_NE(second.output.find("All 2 files finished successfully:"), std::string::npos);
}

}  // namespace
