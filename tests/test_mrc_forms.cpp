// The whole program on one simulated micrograph stored in the forms MRC files come in: plain,
// behind a 128 KiB extended header, big-endian, and as signed or IMOD's unsigned bytes. Each must
// give the STAR row of the same values in a plain float file; a damaged extended header size is
// skipped with a warning and the run goes on. Half floats (mode 12) give the row of their values
// stored as floats.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "io/half_float.h"
#include "mrc_test_files.h"
#include "quib_runs.h"

namespace {

using quib_runs::kStarName;
using quib_runs::numbers_of;
using quib_runs::run_quib;
using quib_runs::StarRow;

constexpr int kSize = 256;
const std::string kOptions = "--apix 1.5 --boxsize 128 --seed 1 ";

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

namespace {

TEST(HalfFloat, ConversionsAreExactOneWayAndRoundToNearestEvenTheOther) {
  for (uint32_t h = 0; h < 0x10000; ++h) {
    const float f = float_from_half(static_cast<uint16_t>(h));
    if (std::isnan(f)) {
      EXPECT_TRUE((h & 0x7c00) == 0x7c00 && (h & 0x3ff) != 0) << h;
      continue;
    }
    ASSERT_EQ(half_from_float(f), h) << "half " << h << " read as " << f;
  }
  EXPECT_EQ(float_from_half(0x3c00), 1.0f);
  EXPECT_EQ(float_from_half(0x7bff), 65504.0f);
  EXPECT_EQ(float_from_half(0x0001), std::ldexp(1.0f, -24));
  EXPECT_EQ(float_from_half(0x03ff), std::ldexp(1023.0f, -24));
  EXPECT_EQ(float_from_half(0xc000), -2.0f);
  EXPECT_EQ(float_from_half(0xfc00), -INFINITY);
  // Ties go to the even neighbour; beyond the largest half lies infinity; NaN stays NaN.
  EXPECT_EQ(half_from_float(1.0f + std::ldexp(1.0f, -11)), 0x3c00);
  EXPECT_EQ(half_from_float(1.0f + 3 * std::ldexp(1.0f, -11)), 0x3c02);
  EXPECT_EQ(half_from_float(65519.0f), 0x7bff);
  EXPECT_EQ(half_from_float(65520.0f), 0x7c00);
  EXPECT_EQ(half_from_float(std::ldexp(1.0f, -25)), 0x0000);
  EXPECT_EQ(half_from_float(std::ldexp(3.0f, -26)), 0x0001);
  EXPECT_EQ(half_from_float(std::ldexp(3.0f, -25)), 0x0002);
  EXPECT_EQ(half_from_float(-0.0f), 0x8000);
  EXPECT_TRUE(std::isnan(float_from_half(half_from_float(NAN))));
}

// Micrographs that motion correction wrote as half floats: the values are not whole counts, so
// half precision rounds them. Read in either byte order they give exactly the row of the same
// rounded values as floats, and the row of the unrounded floats within the measured tolerance.
TEST(HalfFloat, AMode12MicrographGivesTheRowOfItsValuesAsFloats) {
  TempDir dir;
  const SimParams params = quib_runs::micrograph_params(512, 1.2f, 16000, 14500, 35, 6);
  quib_runs::write_simulated(dir.file("plain.mrc"), params);
  const Bytes plain = read_test_file(dir.file("plain.mrc"));
  std::vector<float> scaled((plain.size() - 1024) / 4);
  memcpy(scaled.data(), plain.data() + 1024, scaled.size() * 4);
  std::vector<uint16_t> halves(scaled.size());
  std::vector<float> rounded(scaled.size());
  size_t changed = 0;
  for (size_t i = 0; i < scaled.size(); ++i) {
    scaled[i] = scaled[i] * 0.37f + 3.1f;
    halves[i] = half_from_float(scaled[i]);
    rounded[i] = float_from_half(halves[i]);
    changed += rounded[i] != scaled[i];
  }
  ASSERT_GT(changed, scaled.size() / 2) << "half precision must round these values";
  const MRC_HEAD float_head = mrc_test_head(512, 512, 1, MRC_MODE_FLOAT);
  const MRC_HEAD half_head = mrc_test_head(512, 512, 1, MRC_MODE_HALF);
  write_test_mrc(dir.file("scaled.mrc"), float_head, mrc_test_elements(scaled));
  write_test_mrc(dir.file("rounded.mrc"), float_head, mrc_test_elements(rounded));
  write_test_mrc(dir.file("half.mrc"), half_head, mrc_test_elements(halves));
  write_test_file(dir.file("half_big_endian.mrc"), big_endian_mrc(read_test_file(dir.file("half.mrc")), 2));

  std::string halves_names = "half.mrc half_big_endian.mrc";
  // Debian's python3-mrcfile serves the system interpreter, which another on the PATH may hide.
  std::string python;
  for (const char* candidate : {"python3", "/usr/bin/python3"})
    if (python.empty() && system((std::string(candidate) + " -c 'import mrcfile' >/dev/null 2>&1").c_str()) == 0)
      python = candidate;
  const bool with_mrcfile = !python.empty();
  if (with_mrcfile) {
    // The same half floats as Python's mrcfile writes them.
    const std::string script =
        "import mrcfile, numpy as np\n"
        "with mrcfile.open('rounded.mrc') as m: d = m.data.astype(np.float16)\n"
        "with mrcfile.new('mrcfile_half.mrc') as m: m.set_data(d)\n";
    write_text_file(dir, "write_half.py", script);
    ASSERT_EQ(run_command("cd '" + dir.path() + "' && " + python + " write_half.py").status, 0);
    halves_names += " mrcfile_half.mrc";
  } else {
    printf("[ skipped  ] Python's mrcfile is not installed: its mode-12 file was not tried\n");
  }
  // A run takes micrographs of one mode: the floats first, then the half floats.
  const std::string options = "--apix 1.2 --boxsize 256 --seed 1 ";
  const CommandResult floats = run_quib(dir, options + "scaled.mrc rounded.mrc");
  ASSERT_EQ(floats.status, 0) << floats.output;
  const std::vector<StarRow> float_rows = quib_runs::star_rows(dir.file(kStarName));
  const CommandResult half_run = run_quib(dir, options + halves_names);
  ASSERT_EQ(half_run.status, 0) << half_run.output;
  const std::vector<StarRow> rows = quib_runs::star_rows(dir.file(kStarName));
  const std::string expected = numbers_of(float_rows, "rounded.mrc");
  EXPECT_EQ(numbers_of(rows, "half.mrc"), expected);
  EXPECT_EQ(numbers_of(rows, "half_big_endian.mrc"), expected);
  if (with_mrcfile) {
    EXPECT_EQ(numbers_of(rows, "mrcfile_half.mrc"), expected);
  }

  StarRow half, full;
  for (const StarRow& row : rows) {
    if (row.micrograph == "half.mrc") half = row;
  }
  for (const StarRow& row : float_rows) {
    if (row.micrograph == "scaled.mrc") full = row;
  }
  ASSERT_EQ(half.values.size(), full.values.size());
  printf("[ measured ] half vs float input: dU %.3f dV %.3f dA %.3f A\n", half.values[0] - full.values[0],
         half.values[1] - full.values[1], half.values[2] - full.values[2]);
  EXPECT_NEAR(half.values[0], full.values[0], 2.0);
  EXPECT_NEAR(half.values[1], full.values[1], 2.0);
  EXPECT_NEAR(half.values[2], full.values[2], 0.5);
}

}  // namespace
