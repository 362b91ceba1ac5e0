// The whole program on bad input: micrographs without a usable spectrum, damaged MRC files,
// oversized headers and boxes, faulty input CTF STAR files, outputs that cannot be written and
// overlong names. Each must end with a clear message and a status of 0 or 1, never a crash.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "mrc_test_files.h"
#include "quib_runs.h"

namespace {

using quib_runs::kStarName;
using quib_runs::run_quib;
using quib_runs::shows_crash;
using quib_runs::star_rows;

constexpr int kSize = 256;
const std::string kOptions = "--apix 1.5 --boxsize 128 --seed 1 ";

void write_good_micrograph(const TempDir& dir, const std::string& name) {
  quib_runs::write_simulated(dir.file(name), quib_runs::micrograph_params(kSize, 1.5f, 15000, 15000, 0, 3));
}

// A float micrograph of kSize^2 pixels whose value at pixel i is value(i).
void write_float_micrograph(const std::string& path, const std::function<float(size_t)>& value) {
  std::vector<float> pixels(size_t(kSize) * kSize);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = value(i);
  write_test_mrc(path, mrc_test_head(kSize, kSize, 1, 2), mrc_test_elements(pixels));
}

bool has_completion_line(const std::string& log) {
  return read_text_file(log).find("Processing done successfully.") != std::string::npos;
}

void expect_clean_exit(const CommandResult& r, int status) {
  EXPECT_FALSE(shows_crash(r)) << r.output;
  EXPECT_EQ(r.status, status) << r.output;
}

TEST(BadInput, MicrographWithoutAUsableSpectrumIsSkippedAndTheRunGoesOn) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* what;
    std::function<float(size_t)> value;
  } cases[] = {
      {"constant", [](size_t) { return 7.0f; }},
      {"zeros", [](size_t) { return 0.0f; }},
      {"NaN pixels", [=](size_t i) { return i % 997 == 0 ? nan : float(i % 13); }},
      {"one infinite pixel", [=](size_t i) { return i == 5000 ? inf : float(i % 13); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_float_micrograph(dir.file("bad.mrc"), c.value);
    write_good_micrograph(dir, "good.mrc");
    const CommandResult r = run_quib(dir, kOptions + "bad.mrc good.mrc");
    expect_clean_exit(r, 2);
    EXPECT_NE(r.output.find("1 of 2 files finished successfully; 1 skipped:\n"
                            "  bad.mrc: it has no usable power spectrum (blank, constant or damaged micrograph)\n"),
              std::string::npos)
        << r.output;
    const std::vector<quib_runs::StarRow> rows = star_rows(dir.file(kStarName));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].micrograph, "good.mrc");
    EXPECT_FALSE(has_completion_line(dir.file("bad_quib.log")));
    EXPECT_TRUE(has_completion_line(dir.file("good_quib.log")));
    EXPECT_NE(access(dir.file("bad_quib.log").c_str(), F_OK), -1) << "the log keeps what was written";
    EXPECT_EQ(access(dir.file("bad.ctf").c_str(), F_OK), -1);
  }
}

TEST(BadInput, DamagedOrOversizedMrcFiles) {
  const size_t data_bytes = size_t(kSize) * kSize * 4;
  const MRC_HEAD good_head = mrc_test_head(kSize, kSize, 1, 2);
  // The header followed by `data` zero bytes.
  auto mrc_with = [&](const MRC_HEAD& head, size_t data) {
    Bytes bytes(sizeof(MRC_HEAD) + data, 0);
    memcpy(bytes.data(), &head, sizeof(MRC_HEAD));
    return bytes;
  };
  const struct {
    const char* what;
    Bytes file;
    bool first;  // listed first (the run is then sized from the next file); otherwise between two good ones
    const char* message;
  } cases[] = {
      {"half the data, second", mrc_with(good_head, data_bytes / 2), false,
       "The MRC file holds 132096 bytes, but its header describes 263168!"},
      {"half the data, first", mrc_with(good_head, data_bytes / 2), true,
       "Warning: bad.mrc is not a usable MRC file; the next micrograph is tried."},
      {"shorter than a header", Bytes(500, 1), false, "The file is shorter than an MRC header!"},
      {"empty", Bytes(), false, "The file is shorter than an MRC header!"},
      {"10^6 x 10^6 pixels, first", mrc_with(mrc_test_head(1000000, 1000000, 1, 2), 0), true,
       "An MRC section of 1000000 x 1000000 pixels is too large (2^31 or more)!"},
      {"10^6 x 10^6 pixels, second", mrc_with(mrc_test_head(1000000, 1000000, 1, 2), 0), false,
       "An MRC section of 1000000 x 1000000 pixels is too large (2^31 or more)!"},
      {"complex mode 4, first", mrc_with(mrc_test_head(kSize, kSize, 1, 4), 2 * data_bytes), true,
       "MRC mode 4 (Complex Float) cannot be read; modes 0, 1, 2, 6 and 12 can!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (c.file.empty()) {
      FILE* empty = fopen(dir.file("bad.mrc").c_str(), "wb");
      ASSERT_NE(empty, nullptr);
      fclose(empty);
    } else {
      write_test_file(dir.file("bad.mrc"), c.file);
    }
    write_good_micrograph(dir, "good.mrc");
    write_good_micrograph(dir, "next.mrc");
    const CommandResult r = run_quib(dir, kOptions + (c.first ? "bad.mrc good.mrc" : "good.mrc bad.mrc next.mrc"));
    expect_clean_exit(r, 2);
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("  bad.mrc: it is not a readable MRC file"), std::string::npos) << r.output;
    EXPECT_FALSE(has_completion_line(dir.file("bad_quib.log")));
    // A damaged first file is passed over and the run is sized from the next one.
    EXPECT_TRUE(has_completion_line(dir.file("good_quib.log")));
    if (c.first) continue;
    const std::vector<quib_runs::StarRow> rows = star_rows(dir.file(kStarName));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].micrograph, "good.mrc");
    EXPECT_EQ(rows[1].micrograph, "next.mrc");
  }
}

TEST(BadInput, BoxLargerThanTheImageIsClampedToIt) {
  TempDir dir;
  write_good_micrograph(dir, "good.mrc");
  const CommandResult r = run_quib(dir, "--apix 1.5 --boxsize 1024 --seed 1 good.mrc");
  expect_clean_exit(r, 0);
  const std::string log = read_text_file(dir.file("good_quib.log"));
  EXPECT_NE(log.find("\n        --boxsize            256\n"), std::string::npos);
  EXPECT_NE(log.find("\n        --convsize           21\n"), std::string::npos) << "a twelfth of the box";
  EXPECT_TRUE(has_completion_line(dir.file("good_quib.log")));
  EXPECT_EQ(star_rows(dir.file(kStarName)).size(), 1u);
}

TEST(BadInput, InputCtfStarWithMissingColumnsOrShortRows) {
  const std::string labels4 =
      "data_\nloop_\n_rlnMicrographName #1\n_rlnDefocusU #2\n_rlnDefocusV #3\n_rlnDefocusAngle #4\n";
  const struct {
    const char* what;
    std::string star;
    int status;
    int processed;
    const char* message;
  } cases[] = {
      {"a row one word short", labels4 + "good.mrc 15100 14900 10\nmissing.mrc 15100\n", 0, 1,
       "data row 2 of in.star has fewer words than the 4 labels of its header; skipped!"},
      {"no defocus columns: searched instead",
       "data_\nloop_\n_rlnMicrographName #1\n_rlnDefocusAngle #2\ngood.mrc 10\n", 0, 1,
       "All 1 files to be refined:\n        good.mrc\n"},
      {"only the name column: searched", "data_\nloop_\n_rlnMicrographName #1\ngood.mrc\n", 0, 1,
       "All 1 files to be refined:\n        good.mrc\n"},
      {"no data row", labels4, 1, 0, "the CTF STAR file in.star has no data row quib can read!"},
      {"no name column", "data_\nloop_\n_rlnDefocusU #1\n_rlnDefocusV #2\n15000 15000\n", 1, 0,
       "The input CTF STAR file in.star has no _rlnMicrographName column.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_good_micrograph(dir, "good.mrc");
    write_test_file(dir.file("in.star"), Bytes(c.star.begin(), c.star.end()));
    const CommandResult r = run_quib(dir, kOptions + "--refine_input_ctf --input_ctfstar in.star");
    expect_clean_exit(r, c.status);
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_EQ(count_occurrences(r.output, "Processing done successfully."), c.processed);
  }
}

TEST(BadInput, OutputThatCannotBeWrittenStopsTheRunAndKeepsEarlierFiles) {
  // A folder where a file must go blocks it even for root, whom permissions do not stop.
  for (const char* blocked : {"b_quib.log", "b_EPA.log", "b.ctf"}) {
    SCOPED_TRACE(blocked);
    TempDir dir;
    write_good_micrograph(dir, "a.mrc");
    write_good_micrograph(dir, "b.mrc");
    ASSERT_EQ(mkdir(dir.file(blocked).c_str(), 0755), 0);
    const CommandResult r = run_quib(dir, kOptions + "a.mrc b.mrc");
    expect_clean_exit(r, 1);
    EXPECT_NE(r.output.find(std::string("Cannot write to file ") + blocked +
                            ". Permission denied or no space left!\nError in function "),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("open file failed.! Exit now!"), std::string::npos);
    EXPECT_TRUE(has_completion_line(dir.file("a_quib.log")));
    EXPECT_EQ(access(dir.file("a.ctf").c_str(), F_OK), 0);
    const std::vector<quib_runs::StarRow> rows = star_rows(dir.file(kStarName));
    ASSERT_EQ(rows.size(), 1u) << "the row of a.mrc stays";
    EXPECT_EQ(rows[0].micrograph, "a.mrc");
  }

  TempDir dir;
  write_good_micrograph(dir, "a.mrc");
  const CommandResult r = run_quib(dir, kOptions + "--ctfstar no_such_folder/all.star a.mrc");
  expect_clean_exit(r, 1);
  EXPECT_NE(r.output.find("Cannot write to file no_such_folder/all.star. Permission denied or no space left!"),
            std::string::npos);
}

TEST(BadInput, MicrographInAReadOnlyFolder) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root, whom folder permissions do not stop from writing";
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("ro").c_str(), 0755), 0);
  write_good_micrograph(dir, "ro/a.mrc");
  ASSERT_EQ(chmod(dir.file("ro").c_str(), 0555), 0);
  const CommandResult r = run_quib(dir, kOptions + "ro/a.mrc");
  chmod(dir.file("ro").c_str(), 0755);
  expect_clean_exit(r, 1);
  EXPECT_NE(r.output.find("Cannot write to file ro/a_quib.log. Permission denied or no space left!"),
            std::string::npos);
  EXPECT_EQ(access(dir.file(kStarName).c_str(), F_OK), -1) << "a run that wrote no row leaves no STAR file";
}

TEST(BadInput, FiveThousandCharacterNamesAreRefused) {
  const std::string name(5000, 'x');
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {name + ".mrc", "File name of 5004 characters is longer than 1023"},
      {"good.mrc " + name + ".mrc", "File name too long! Exit now!"},
      {"--ctfstar " + name + " good.mrc", "File name for ctfstar is too long! Exit now!"},
      {"--logsuffix " + name + " good.mrc", "Value of option --logsuffix is longer than 1023 characters! Exit now!"},
      {"--boxsuffix " + name + " good.mrc", "Value of option --boxsuffix is longer than 1023 characters! Exit now!"},
      {"--refine_input_ctf --input_ctfstar " + name, "Cannot open file " + name.substr(0, 100)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.substr(c.arguments.size() - 20));
    TempDir dir;
    write_good_micrograph(dir, "good.mrc");
    const CommandResult r = run_quib(dir, kOptions + c.arguments);
    expect_clean_exit(r, 1);
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output.substr(r.output.size() - 600);
  }
}

}  // namespace
