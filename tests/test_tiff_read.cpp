// TIFF micrographs read through libtiff: every sample type, compression, strip and tile layout and
// byte order gives the values written, under the MRC header of the right sizes and mode; files of
// an unsupported kind or damaged ones give a reason in words and print nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/file_ptr.h"
#include "io/half_float.h"
#include "io/micrograph_file.h"
#include "io/tiff_read.h"
#include "mrc_test_files.h"
#include "test_util.h"
#include "tiff_test_files.h"

namespace {

// Odd sizes, so that the last strip and the tiles at the edges are partial.
constexpr uint32_t kNx = 37, kNy = 21, kNz = 3;

// Values over the whole range of T, its extremes included.
template <class T>
std::vector<T> spread_values(size_t count) {
  std::vector<T> values(count);
  const double low = double(std::numeric_limits<T>::lowest()), high = double(std::numeric_limits<T>::max());
  const double range = std::is_floating_point<T>::value ? 2.0e4 : high - low;
  const double start = std::is_floating_point<T>::value ? -1.0e4 : low;
  for (size_t i = 0; i < count; ++i) values[i] = T(start + range * double((i * 7919) % count) / double(count - 1));
  values[0] = T(start);
  values[1] = T(start + range);
  return values;
}

struct Read {
  std::string head_problem, data_problem;
  MRC_HEAD head{};
  std::vector<float> values;
};

Read read_tiff(const std::string& path) {
  Read r;
  const FilePtr file(fopen(path.c_str(), "rb"));
  EXPECT_TRUE(file);
  EXPECT_EQ(micrograph_format(file.get()), MicrographFormat::kTiff);
  const std::string printed = captured_stdout([&] {
    r.head_problem = tiff_read_head(file.get(), &r.head);
    if (!r.head_problem.empty()) return;
    r.values.resize(mrc_voxels(&r.head));
    r.data_problem = tiff_read_all(file.get(), &r.head, r.values.data());
  });
  EXPECT_EQ(printed, "");
  return r;
}

template <class T>
void expect_read_back(const std::string& name, int mode, bool signed_bytes, uint16_t sample_format = 0) {
  const std::vector<T> values = spread_values<T>(size_t(kNx) * kNy * kNz);
  std::vector<float> expected(values.begin(), values.end());
  if (sample_format == SAMPLEFORMAT_IEEEFP)  // T holds half floats
    for (size_t i = 0; i < values.size(); ++i) expected[i] = float_from_half(uint16_t(values[i]));
  const struct {
    const char* label;
    const char* mode;
    TiffLayout layout;
  } forms[] = {
      {"plain", "w", {}},
      {"lzw strips", "w", {COMPRESSION_LZW, true, 5}},
      {"deflate strips", "w", {COMPRESSION_ADOBE_DEFLATE, false, 4}},
      {"big-endian deflate tiles", "wb", {COMPRESSION_ADOBE_DEFLATE, true, 0, 16}},
      {"BigTIFF lzw tiles", "w8", {COMPRESSION_LZW, false, 0, 32}},
  };
  TempDir dir;
  for (auto form : forms) {
    SCOPED_TRACE(name + " " + form.label);
    form.layout.sample_format = sample_format;
    const std::string path = dir.file("t.tif");
    {
      TestTiffWriter writer(path, form.mode);
      writer.add_pages(values, kNx, kNy, kNz, form.layout);
    }
    const Read r = read_tiff(path);
    ASSERT_EQ(r.head_problem, "");
    EXPECT_EQ(r.data_problem, "");
    EXPECT_EQ(r.head.nx, int(kNx));
    EXPECT_EQ(r.head.ny, int(kNy));
    EXPECT_EQ(r.head.nz, int(kNz));
    EXPECT_EQ(r.head.mode, mode);
    if (mode == MRC_MODE_BYTE) {
      EXPECT_EQ(mrc_bytes_signed(&r.head), signed_bytes);
    }
    ASSERT_EQ(r.values.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      if (std::isnan(expected[i])) continue;
      ASSERT_EQ(r.values[i], expected[i]) << "value " << i;
    }
  }
}

TEST(TiffRead, EverySampleTypeAndLayoutReadsBackItsValues) {
  expect_read_back<uint8_t>("uint8", MRC_MODE_BYTE, false);
  expect_read_back<int8_t>("int8", MRC_MODE_BYTE, true);
  expect_read_back<uint16_t>("uint16", MRC_MODE_USHORT, false);
  expect_read_back<int16_t>("int16", MRC_MODE_SHORT, false);
  expect_read_back<uint16_t>("float16", MRC_MODE_HALF, false, SAMPLEFORMAT_IEEEFP);
  expect_read_back<uint32_t>("uint32", MRC_MODE_FLOAT, false);
  expect_read_back<int32_t>("int32", MRC_MODE_FLOAT, false);
  expect_read_back<float>("float32", MRC_MODE_FLOAT, false);
}

TEST(TiffRead, TheFormatIsToldByTheFirstBytesNotByTheName) {
  TempDir dir;
  const std::vector<float> values(64 * 64, 1.0f);
  write_test_mrc(dir.file("mrc.tif"), mrc_test_head(64, 64, 1, 2), mrc_test_elements(values));
  {
    TestTiffWriter writer(dir.file("tiff.mrc"));
    writer.add_pages(values, 64, 64, 1);
  }
  for (const auto& c : {std::make_pair("mrc.tif", MicrographFormat::kMrc), {"tiff.mrc", MicrographFormat::kTiff}}) {
    const FilePtr file(fopen(dir.file(c.first).c_str(), "rb"));
    EXPECT_EQ(micrograph_format(file.get()), c.second) << c.first;
    MRC_HEAD head;
    EXPECT_EQ(micrograph_read_head(file.get(), &head), "") << c.first;
    EXPECT_EQ(head.nx, 64);
    std::vector<float> read(64 * 64);
    std::string why;
    EXPECT_TRUE(micrograph_read_all(file.get(), &head, read.data(), why)) << why;
    EXPECT_EQ(read, values) << c.first;
  }
}

// Whether the reason contains the words.
::testing::AssertionResult says(const std::string& reason, const std::string& words) {
  if (reason.find(words) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "reason \"" << reason << "\" lacks \"" << words << "\"";
}

TEST(TiffRead, UnsupportedAndDamagedFilesGiveTheirReasonQuietly) {
  TempDir dir;
  const std::vector<uint16_t> counts = spread_values<uint16_t>(64 * 64 * 3);
  const std::vector<uint8_t> bytes(64 * 64 * 3, 7);
  {
    TestTiffWriter rgb(dir.file("rgb.tif"));
    TiffLayout colour;
    colour.samples = 3;
    colour.photometric = PHOTOMETRIC_RGB;
    rgb.add_pages(bytes, 64, 64, 1, colour);
    TestTiffWriter palette(dir.file("palette.tif"));
    TiffLayout map;
    map.photometric = PHOTOMETRIC_PALETTE;
    palette.add_pages(std::vector<uint8_t>(64 * 64, 3), 64, 64, 1, map);
    TestTiffWriter bilevel(dir.file("bilevel.tif"));
    TiffLayout one_bit;
    one_bit.bits = 1;
    bilevel.add_page(std::vector<uint8_t>(8 * 64, 0x55).data(), 64, 64, one_bit);
    TestTiffWriter sizes(dir.file("sizes.tif"));
    sizes.add_page(counts.data(), 64, 64);
    sizes.add_page(counts.data(), 64, 48);
    TestTiffWriter lzw(dir.file("lzw.tif"));
    lzw.add_pages(counts, 64, 64, 3, {COMPRESSION_LZW});
  }
  // The LZW movie cut short, and with its first page's code stream overwritten.
  const Bytes whole = read_test_file(dir.file("lzw.tif"));
  write_test_file(dir.file("cut.tif"), Bytes(whole.begin(), whole.begin() + whole.size() / 2));
  Bytes garbled = whole;
  for (size_t i = 8; i < 400; ++i) garbled[i] = 0xFF;
  write_test_file(dir.file("garbled.tif"), garbled);
  write_test_file(dir.file("header_only.tif"), Bytes{'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F});

  EXPECT_TRUE(says(read_tiff(dir.file("rgb.tif")).head_problem, "3 samples per pixel"));
  EXPECT_TRUE(says(read_tiff(dir.file("palette.tif")).head_problem, "palette"));
  EXPECT_TRUE(says(read_tiff(dir.file("bilevel.tif")).head_problem, "bilevel"));
  EXPECT_TRUE(says(read_tiff(dir.file("sizes.tif")).head_problem,
                   "page 2 holds 64 x 48 pixels of 16-bit unsigned integers, but page 1 64 x 64"));
  const Read cut = read_tiff(dir.file("cut.tif"));
  EXPECT_NE(cut.head_problem + cut.data_problem, "");
  const Read garbled_read = read_tiff(dir.file("garbled.tif"));
  ASSERT_EQ(garbled_read.head_problem, "");
  EXPECT_NE(garbled_read.data_problem, "");
  EXPECT_NE(read_tiff(dir.file("header_only.tif")).head_problem, "");
}

// A reader may be told to stop between pages: it says so and reads no further page.
TEST(TiffRead, StopsBetweenPagesWhenTold) {
  TempDir dir;
  const std::string path = dir.file("movie.tif");
  const std::vector<int16_t> values = spread_values<int16_t>(size_t(kNx) * kNy * kNz);
  TestTiffWriter(path).add_pages(values, kNx, kNy, kNz, {COMPRESSION_LZW});
  const FilePtr file(fopen(path.c_str(), "rb"));
  MRC_HEAD head;
  ASSERT_EQ(tiff_read_head(file.get(), &head), "");
  std::vector<float> out(values.size(), -1.0f);
  int asked = 0;
  EXPECT_EQ(tiff_read_all(file.get(), &head, out.data(), [&] { return ++asked < 2; }), "stopped");
  EXPECT_EQ(asked, 2);
  const size_t page = size_t(kNx) * kNy;
  for (size_t i = 0; i < 2 * page; ++i) ASSERT_EQ(out[i], float(values[i])) << i;
  EXPECT_EQ(out[2 * page], -1.0f) << "the third page is not read";
}

}  // namespace
