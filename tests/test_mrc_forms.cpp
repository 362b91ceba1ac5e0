// The whole program on one simulated micrograph stored in the forms MRC files come in: plain,
// behind a 128 KiB extended header, big-endian, and as signed or IMOD's unsigned bytes. Each must
// give the STAR row of the same values in a plain float file; a damaged extended header size is
// skipped with a warning and the run goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "mrc_test_files.h"
#include "quib_runs.h"

namespace {

using quib_runs::kStarName;
using quib_runs::run_quib;
using quib_runs::StarRow;

constexpr int kSize = 256;
const std::string kOptions = "--apix 1.5 --boxsize 128 --seed 1 ";

// The numbers of a STAR row as printed, without the two file names.
std::string printed_numbers(const StarRow& row) {
  const size_t names_end = row.line.find(row.ctf_image) + row.ctf_image.size();
  return row.line.substr(names_end);
}

// The printed numbers of each row, by micrograph name.
std::string numbers_of(const std::vector<StarRow>& rows, const std::string& micrograph) {
  for (const StarRow& row : rows)
    if (row.micrograph == micrograph) return printed_numbers(row);
  return "no row for " + micrograph;
}

void write_bytes_and_floats(const TempDir& dir, const std::string& name, const std::vector<float>& values,
                            const MRC_HEAD& byte_head) {
  Bytes bytes;
  for (float v : values) bytes.push_back(static_cast<unsigned char>(static_cast<int>(v)));
  write_test_mrc(dir.file(name + "_bytes.mrc"), byte_head, bytes);
  write_test_mrc(dir.file(name + "_floats.mrc"), mrc_test_head(kSize, kSize, 1, 2), mrc_test_elements(values));
}

TEST(MrcForms, OneMicrographInEveryFormGivesTheSameStarRow) {
  TempDir dir;
  const SimParams params = quib_runs::micrograph_params(kSize, 1.5f, 16000, 14000, 35, 4);
  quib_runs::write_simulated(dir.file("plain.mrc"), params);
  const Bytes plain = read_test_file(dir.file("plain.mrc"));
  const Bytes extended = with_extended_header(plain, Bytes(128 * 1024, 0x5A));
  write_test_file(dir.file("extended.mrc"), extended);
  write_test_file(dir.file("big_endian.mrc"), big_endian_mrc(plain, 4));
  write_test_file(dir.file("big_endian_extended.mrc"), big_endian_mrc(extended, 4));
  Bytes negative = extended;
  const int32_t minus_one_kib = -1024;
  memcpy(negative.data() + 92, &minus_one_kib, 4);
  write_test_file(dir.file("negative_next.mrc"), negative);
  Bytes overlong = with_extended_header(plain, Bytes(1000, 0));
  overlong.resize(plain.size());  // the data lose as many bytes as the extended header took
  write_test_file(dir.file("overlong_next.mrc"), overlong);

  // The counts, less their mean, fit in signed bytes; 128 more fit in unsigned ones.
  std::vector<float> counts((plain.size() - 1024) / 4);
  memcpy(counts.data(), plain.data() + 1024, counts.size() * 4);
  double sum = 0;
  for (float v : counts) sum += v;
  const float mean = std::round(float(sum / counts.size()));
  std::vector<float> centred(counts.size()), lifted(counts.size());
  for (size_t i = 0; i < counts.size(); ++i) {
    centred[i] = std::clamp(std::round(counts[i] - mean), -128.0f, 127.0f);
    lifted[i] = centred[i] + 128;
  }
  ASSERT_LT(*std::min_element(centred.begin(), centred.end()), -20.0f) << "signed bytes must matter";
  write_bytes_and_floats(dir, "signed", centred, mrc_test_head(kSize, kSize, 1, 0));
  MRC_HEAD imod_unsigned = mrc_test_head(kSize, kSize, 1, 0);
  imod_unsigned.imod_stamp = MRC_IMOD_STAMP;
  write_bytes_and_floats(dir, "unsigned", lifted, imod_unsigned);

  const CommandResult floats = run_quib(
      dir, kOptions +
               "plain.mrc extended.mrc negative_next.mrc big_endian.mrc overlong_next.mrc big_endian_extended.mrc "
               "signed_floats.mrc unsigned_floats.mrc");
  EXPECT_EQ(floats.status, 2) << floats.output;
  EXPECT_NE(floats.output.find("The MRC extended header size is negative (-1024 bytes); the file is damaged!"),
            std::string::npos)
      << floats.output;
  EXPECT_NE(floats.output.find("The MRC file holds 263168 bytes, but its header describes 264168 (with an extended "
                               "header of 1000 bytes)!"),
            std::string::npos);
  for (const char* name : {"negative_next.mrc", "overlong_next.mrc"})
    EXPECT_NE(floats.output.find(std::string("\n  ") + name + ": it is not a readable MRC file"), std::string::npos)
        << name;
  const std::vector<StarRow> float_rows = quib_runs::star_rows(dir.file(kStarName));
  EXPECT_EQ(float_rows.size(), 6u) << floats.output;
  const std::string expected = numbers_of(float_rows, "plain.mrc");
  for (const char* name : {"extended.mrc", "big_endian.mrc", "big_endian_extended.mrc"})
    EXPECT_EQ(numbers_of(float_rows, name), expected) << name;

  const CommandResult bytes = run_quib(dir, kOptions + "signed_bytes.mrc unsigned_bytes.mrc");
  EXPECT_EQ(bytes.status, 0) << bytes.output;
  const std::vector<StarRow> byte_rows = quib_runs::star_rows(dir.file(kStarName));
  EXPECT_EQ(numbers_of(byte_rows, "signed_bytes.mrc"), numbers_of(float_rows, "signed_floats.mrc"));
  EXPECT_EQ(numbers_of(byte_rows, "unsigned_bytes.mrc"), numbers_of(float_rows, "unsigned_floats.mrc"));
}

}  // namespace
