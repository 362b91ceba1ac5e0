// Live runs: quib --watch takes the micrographs that match when it starts and each one copied in
// later once it is whole, writes one row per micrograph, stops cleanly on SIGTERM and, started
// again, takes up only what is new.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "quib_runs.h"

extern char** environ;

namespace {

using quib_runs::run_quib;
using namespace std::chrono_literals;

const std::string kOptions = "--apix 1 --boxsize 256 --seed 1 --do_phase_flip 1 ";

// quib started in the folder with its output going to run.txt there.
pid_t start_quib(const TempDir& dir, const std::string& arguments) {
  const std::string command =
      "cd '" + dir.path() + "' && exec '" + quib_runs::kQuib + "' " + arguments + " > run.txt 2>&1";
  const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
  return pid;
}

// Waits up to `limit` for the condition; false when it never held.
template <class Condition>
bool wait_for(Condition condition, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// The file's bytes written to `path` in `pieces` parts, pausing after each as `pauses` says.
void write_slowly(const std::string& from, const std::string& path,
                  const std::vector<std::chrono::milliseconds>& pauses) {
  const std::string bytes = read_text_file(from);
  std::ofstream out(path, std::ios::binary);
  const size_t piece = bytes.size() / (pauses.size() + 1);
  for (size_t k = 0; k <= pauses.size(); ++k) {
    const size_t begin = k * piece, end = k == pauses.size() ? bytes.size() : begin + piece;
    out.write(bytes.data() + begin, static_cast<std::streamsize>(end - begin));
    out.flush();
    if (k < pauses.size()) std::this_thread::sleep_for(pauses[k]);
  }
}

std::map<std::string, std::string> rows_by_micrograph(const std::vector<quib_runs::StarRow>& rows) {
  std::map<std::string, std::string> lines;
  for (const quib_runs::StarRow& row : rows) lines[row.micrograph] = row.line;
  return lines;
}

TEST(WatchRuns, EachMicrographOnceAndWholeThenACleanStopAndAResumedWatch) {
  TempDir source, dir;
  for (int k = 0; k < 4; ++k)
    quib_runs::write_simulated(
        source.file(std::string(1, 'a' + k) + ".mrc"),
        quib_runs::micrograph_params(1024, 1.0f, 14000 + 2500 * k, 14600 + 2500 * k, 40, 11 + k));
  // The answer: the same micrographs in a run over a fixed list.
  const CommandResult fixed = run_quib(source, kOptions + "a.mrc b.mrc c.mrc d.mrc");
  ASSERT_EQ(fixed.status, 0) << fixed.output;
  const std::map<std::string, std::string> expected =
      rows_by_micrograph(quib_runs::star_rows(source.file(quib_runs::kStarName)));

  ASSERT_EQ(system(("cp '" + source.file("a.mrc") + "' '" + dir.path() + "'").c_str()), 0);
  const pid_t watch = start_quib(dir, kOptions + "--watch '*.mrc'");
  ASSERT_GT(watch, 0);
  ASSERT_TRUE(wait_for([&] { return exists(dir.file("a_pf.mrc")); }, 60s)) << read_text_file(dir.file("run.txt"));
  ASSERT_EQ(system(("cp '" + source.file("b.mrc") + "' '" + dir.path() + "'").c_str()), 0);
  // c.mrc arrives in pieces, with one pause longer than a file needs to be still to count as written.
  write_slowly(source.file("c.mrc"), dir.file("c.mrc"), {300ms, 3000ms, 300ms});
  ASSERT_TRUE(wait_for([&] { return exists(dir.file("c_quib.log")); }, 60s)) << read_text_file(dir.file("run.txt"));
  kill(watch, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(watch, &status, 0), watch);
  const std::string output = read_text_file(dir.file("run.txt"));
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;
  EXPECT_NE(output.find("ended: stopped by SIGTERM"), std::string::npos) << output;

  // One whole row per micrograph, equal to the fixed run's: none was read half-written, the
  // phase-flipped outputs were not taken as micrographs, and the stop tore nothing.
  const std::vector<quib_runs::StarRow> rows = quib_runs::star_rows(dir.file(quib_runs::kStarName));
  ASSERT_EQ(rows.size(), 3u) << output;
  for (const quib_runs::StarRow& row : rows) {
    ASSERT_TRUE(expected.count(row.micrograph)) << row.line;
    EXPECT_EQ(row.line, expected.at(row.micrograph));
  }
  EXPECT_EQ(read_text_file(dir.file(quib_runs::kStarName)).back(), '\n');

  // Started again: only the new micrograph is processed, and the watch ends by itself when idle.
  ASSERT_EQ(system(("cp '" + source.file("d.mrc") + "' '" + dir.path() + "'").c_str()), 0);
  const CommandResult resumed = run_quib(dir, kOptions + "--watch '*.mrc' --watch_idle 0.02 --quiet 1");
  EXPECT_EQ(resumed.status, 0) << resumed.output;
  EXPECT_EQ(count_occurrences(resumed.output, "finished in an earlier run"), 3) << resumed.output;
  EXPECT_NE(resumed.output.find("ended: no new file for 0.02 minutes"), std::string::npos) << resumed.output;
  const std::map<std::string, std::string> all =
      rows_by_micrograph(quib_runs::star_rows(dir.file(quib_runs::kStarName)));
  EXPECT_EQ(all, expected);
}

TEST(WatchRuns, RefusesWhatALiveRunCannotDo) {
  TempDir dir;
  write_text_file(dir, "in.star", "data_\nloop_\n_rlnMicrographName #1\n");
  const CommandResult from_star = run_quib(dir, "--apix 1 --watch '*.mrc' --input_ctfstar in.star");
  EXPECT_EQ(from_star.status, 1);
  EXPECT_NE(from_star.output.find("cannot take them from --input_ctfstar"), std::string::npos) << from_star.output;
  const CommandResult negative = run_quib(dir, "--apix 1 --watch '*.mrc' --watch_idle -1");
  EXPECT_EQ(negative.status, 1);
  EXPECT_NE(negative.output.find("Invalid --watch_idle -1"), std::string::npos) << negative.output;
}

}  // namespace
