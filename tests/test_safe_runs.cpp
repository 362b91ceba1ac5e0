// Runs that never lose a result: the STAR file of a resumed run keeps every finished micrograph,
// an earlier file survives a run that writes nothing, a second run cannot write the same file,
// failed writes end the run with status 1, outputs never replace inputs, and micrographs that
// cannot be processed are skipped, listed and reported in the exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mrc_test_files.h"
#include "quib_runs.h"

namespace {

using quib_runs::kStarName;
using quib_runs::run_quib;
using quib_runs::star_rows;

constexpr int kSize = 256;
const std::string kOptions = "--apix 1.5 --boxsize 128 --seed 1 ";

void write_micrograph(const TempDir& dir, const std::string& name, int size = kSize, uint64_t seed = 3) {
  quib_runs::write_simulated(dir.file(name), quib_runs::micrograph_params(size, 1.5f, 15000, 15600, 30, seed));
}

std::vector<std::string> row_names(const std::string& star) {
  std::vector<std::string> names;
  for (const quib_runs::StarRow& row : star_rows(star)) names.push_back(row.micrograph);
  return names;
}

std::string row_of(const std::string& star, const std::string& micrograph) {
  for (const quib_runs::StarRow& row : star_rows(star))
    if (row.micrograph == micrograph) return row.line;
  return "";
}

// Every data row has one word per label: nothing broke the table.
void expect_whole_table(const std::string& star) {
  const std::string text = read_text_file(star);
  const int labels = count_occurrences(text, "\n_rln");
  for (const quib_runs::StarRow& row : star_rows(star)) EXPECT_EQ(int(row.values.size()) + 2, labels) << row.line;
}

TEST(SafeRuns, ResumedRunEndsWithOneRowPerFinishedMicrographAndChangesNothingWhenRepeated) {
  TempDir dir;
  const std::vector<std::string> names = {"a.mrc", "b.mrc", "c.mrc", "d.mrc"};
  for (size_t i = 0; i < names.size(); ++i) write_micrograph(dir, names[i], kSize, 10 + i);
  const std::string all = kOptions + "--do_unfinished 1 a.mrc b.mrc c.mrc d.mrc";
  ASSERT_EQ(run_quib(dir, all).status, 0);
  const std::string star = dir.file(kStarName);
  const std::string complete = read_text_file(star);
  ASSERT_EQ(row_names(star), names);

  // An interrupted run: rows for a and b, a torn row for c whose log has no completion line, and
  // no trace of d.
  const std::string c_row = row_of(star, "c.mrc");
  const size_t cut = complete.find(c_row) + c_row.size() / 2;
  write_text_file(dir, kStarName, complete.substr(0, cut));
  write_text_file(dir, "c_quib.log", "Reading file: c.mrc\n");
  ASSERT_EQ(unlink(dir.file("d_quib.log").c_str()), 0);

  const CommandResult resumed = run_quib(dir, all);
  EXPECT_EQ(resumed.status, 0) << resumed.output;
  EXPECT_EQ(count_occurrences(resumed.output, "Processing done successfully."), 2);
  EXPECT_EQ(read_text_file(star), complete) << "the same rows as the uninterrupted run";

  const CommandResult repeated = run_quib(dir, all);
  EXPECT_EQ(repeated.status, 0);
  EXPECT_EQ(count_occurrences(repeated.output, "Processing done successfully."), 0);
  EXPECT_EQ(read_text_file(star), complete);

  // A run that was not resumed replaced the table with b's row only: a's complete log no longer
  // stands for a row, so the resumed run processes a again.
  ASSERT_EQ(run_quib(dir, kOptions + "b.mrc").status, 0);
  const CommandResult refilled = run_quib(dir, all);
  EXPECT_EQ(refilled.status, 0) << refilled.output;
  EXPECT_EQ(count_occurrences(refilled.output, "Processing done successfully."), 3);
  std::vector<std::string> rows = row_names(star);
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, names);
  for (const std::string& name : names) EXPECT_NE(complete.find(row_of(star, name)), std::string::npos) << name;
}

TEST(SafeRuns, AnEarlierStarFileSurvivesRunsThatWriteNothingAndInputsAreNeverOutputs) {
  TempDir dir;
  write_micrograph(dir, "a.mrc");
  const std::string earlier = "\ndata_\n\nloop_\n_rlnMicrographName #1\nold.mrc\n";
  const struct {
    const char* what;
    std::string arguments;
    int status;
    const char* message;
  } cases[] = {
      {"every micrograph missing", "missing.mrc", 1, "  missing.mrc: it does not exist\n"},
      {"input STAR file named as the output", "--refine_input_ctf 1 --input_ctfstar " + std::string(kStarName), 1,
       "The CTF STAR file micrographs_all_quib.star would overwrite the input file micrographs_all_quib.star."},
      {"log named like the micrograph", "--logsuffix .mrc a.mrc", 1,
       "The log a.mrc would overwrite the input file a.mrc. Choose another --logsuffix."},
      {"input STAR file spelled another way", "--refine_input_ctf 1 --input_ctfstar ./" + std::string(kStarName), 1,
       "The CTF STAR file micrographs_all_quib.star would overwrite the input file ./micrographs_all_quib.star."},
  };
  const std::string micrograph = read_text_file(dir.file("a.mrc"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    write_text_file(dir, kStarName, earlier);
    const CommandResult r = run_quib(dir, kOptions + c.arguments);
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_EQ(read_text_file(dir.file(kStarName)), earlier);
    EXPECT_EQ(read_text_file(dir.file("a.mrc")), micrograph);
  }
  // A run that dies at its first micrograph (its log cannot be written) leaves the file too.
  ASSERT_EQ(mkdir(dir.file("a_quib.log").c_str(), 0755), 0);
  const CommandResult r = run_quib(dir, kOptions + "a.mrc");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("Cannot write to file a_quib.log."), std::string::npos) << r.output;
  EXPECT_EQ(read_text_file(dir.file(kStarName)), earlier);
}

TEST(SafeRuns, ASecondWriterIsRefusedAndFailedWritesEndTheRunWithStatusOne) {
  TempDir dir;
  write_micrograph(dir, "a.mrc");
  write_micrograph(dir, "b.mrc");
  {
    const int held = open(dir.file(kStarName).c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    const CommandResult r = run_quib(dir, kOptions + "a.mrc");
    close(held);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Another quib run is writing micrographs_all_quib.star"), std::string::npos) << r.output;
    EXPECT_EQ(access(dir.file("a_quib.log").c_str(), F_OK), -1) << "refused before any work";
  }
  ASSERT_EQ(symlink("/dev/full", dir.file("full.star").c_str()), 0);
  const CommandResult r = run_quib(dir, kOptions + "--ctfstar full a.mrc b.mrc");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("Writing to file full.star failed (No space left on device)"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("finished successfully:"), std::string::npos);
  EXPECT_EQ(access(dir.file("b_quib.log").c_str(), F_OK), -1) << "the run ends at the first failed row";
}

TEST(SafeRuns, MixedListGivesARowPerGoodMicrographAnHonestSummaryAndStatusTwo) {
  TempDir dir;
  write_micrograph(dir, "a.mrc", kSize, 1);
  write_micrograph(dir, "b.mrc", kSize, 2);
  write_micrograph(dir, "other size.mrc", 192, 3);
  write_micrograph(dir, "small.mrc", 192, 3);
  write_micrograph(dir, "tiny.mrc", 100, 4);
  write_text_file(dir, "damaged.mrc", std::string(2000, 'x'));
  // A name of 1020 characters: its outputs do not fit a name buffer.
  std::string deep = "d";
  for (int i = 0; i < 4; ++i) deep += "/" + std::string(200, 'd');
  ASSERT_EQ(system(("mkdir -p '" + dir.file(deep) + "'").c_str()), 0);
  const std::string long_name = deep + "/" + std::string(1020 - deep.size() - 5, 'm') + ".mrc";
  ASSERT_EQ(long_name.size(), 1020u);
  write_micrograph(dir, long_name);

  const std::string arguments = kOptions +
                                "--do_unfinished 1 tiny.mrc a.mrc damaged.mrc 'other size.mrc' small.mrc missing.mrc " +
                                long_name + " b.mrc";
  const CommandResult r = run_quib(dir, arguments);
  EXPECT_FALSE(quib_runs::shows_crash(r)) << r.output;
  EXPECT_EQ(r.status, 2) << r.output;
  EXPECT_EQ(row_names(dir.file(kStarName)), (std::vector<std::string>{"a.mrc", "b.mrc"}));
  expect_whole_table(dir.file(kStarName));
  for (const std::string& line :
       {std::string("2 of 8 files finished successfully; 6 skipped:\n"),
        std::string("  tiny.mrc: it is 100 x 100 pixels, smaller than the smallest usable box of 128\n"),
        std::string("  damaged.mrc: it is not a readable MRC file"),
        std::string("  other size.mrc: its name contains white space, which would break the STAR table"),
        std::string("  small.mrc: it is 192 x 192 x 1 in mode 2 (Float), but the run's first micrograph a.mrc is "
                    "256 x 256 x 1 in mode 2 (Float)"),
        std::string("  missing.mrc: it does not exist\n"),
        "  " + long_name + ": the name of its output " + long_name.substr(0, 1016) + "_quib.log would be longer"})
    EXPECT_NE(r.output.find(line), std::string::npos) << line;

  const std::string star = read_text_file(dir.file(kStarName));
  const CommandResult again = run_quib(dir, arguments);
  EXPECT_EQ(again.status, 2);
  EXPECT_EQ(read_text_file(dir.file(kStarName)), star) << "the resumed run changes no row and adds none";
  EXPECT_EQ(count_occurrences(again.output, "Processing done successfully."), 0);
}

}  // namespace
