// The MRC header record: its bytes, the "MAP" stamp, setters and mode names.
#include <gtest/gtest.h>

#include <cstring>

#include "io/mrc_header.h"
#include "io/mrc_read.h"
#include "io/mrc_write.h"
#include "mrc_test_files.h"
#include "test_util.h"

namespace {

TEST(MrcHead, NewHeaderWrittenUnchangedHasTheDefaultBytes) {
  TempDir dir;
  const std::string path = dir.file("new.mrc");
  mrc_new_file(path.c_str(), mrc_new_head().get());
  const Bytes bytes = read_test_file(path);
  ASSERT_EQ(bytes.size(), 1024u);
  const struct {
    size_t offset;
    int value;
  } ints[] = {{0, 1},  {4, 1},  {8, 1},  {12, 2}, {16, 0}, {20, 0}, {24, 0}, {28, 1},
              {32, 1}, {36, 1}, {64, 1}, {68, 2}, {72, 3}, {92, 0}, {220, 0}};
  for (const auto& field : ints)
    EXPECT_EQ(value_at<int32_t>(bytes, field.offset), field.value) << field.offset;
  const struct {
    size_t offset;
    float value;
  } floats[] = {{40, 1.0f},  {44, 1.0f}, {48, 1.0f},   {52, 90.0f},  {56, 90.0f},
                {60, 90.0f}, {76, 0.0f}, {80, 255.0f}, {84, 128.0f}, {216, 0.0f}};
  for (const auto& field : floats)
    EXPECT_EQ(value_at<float>(bytes, field.offset), field.value) << field.offset;
  EXPECT_EQ(value_at<int16_t>(bytes, 88), 1);
  EXPECT_EQ(value_at<int16_t>(bytes, 90), 0);
  EXPECT_EQ(value_at<int16_t>(bytes, 96), 1000);
  for (size_t i = 98; i < 208; ++i) EXPECT_EQ(bytes[i], 0) << i;
  const unsigned char stamp[8] = {'M', 'A', 'P', ' ', 0x44, 0x41, 0, 0};
  EXPECT_EQ(memcmp(bytes.data() + 208, stamp, 8), 0);
  for (size_t i = 224; i < 1024; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(MrcHead, HeaderWithoutStampIsReadStampedAndWrittenBackStamped) {
  TempDir dir;
  const std::string path = dir.file("old.mrc");
  MRC_HEAD old = mrc_test_head(2, 1, 1, 2);
  memcpy(old.map, "XYZ!", 4);
  memset(old.machst, 0x11, 4);
  write_test_mrc(path, old, mrc_test_elements<float>({1.5f, -2.5f}));

  EXPECT_EQ(mrcf_check_head(path.c_str()), -1);
  EXPECT_EQ(captured_stdout([&] { mrcf_check_head(path.c_str()); }),
            "Warning: in function 'mrcf_check_head()'! '" + path + "' is not a valid mrc file !\n");
  EXPECT_NE(captured_stdout([&] {
              EXPECT_EQ(mrc_check_head(&old), -1);
            }).find("Not a valid mrc file head!"),
            std::string::npos);

  FilePtr file(fopen(path.c_str(), "r"));
  MRC_HEAD head;
  ASSERT_EQ(mrc_read_head(file.get(), &head), 0);
  EXPECT_EQ(ftell(file.get()), 1024);
  const unsigned char stamp[8] = {'M', 'A', 'P', ' ', 'D', 'A', 0, 0};
  EXPECT_EQ(memcmp(head.map, stamp, 8), 0);
  EXPECT_EQ(mrc_check_head(&head), 0);
  float data[2];
  ASSERT_EQ(mrc_read_all(file.get(), &head, data), 0);
  EXPECT_EQ(data[0], 1.5f);
  EXPECT_EQ(data[1], -2.5f);
  file.reset();

  mrc_replace_head(path.c_str(), &head);
  const Bytes bytes = read_test_file(path);
  EXPECT_EQ(bytes.size(), 1024u + 8);
  EXPECT_EQ(memcmp(bytes.data() + 208, stamp, 8), 0);
  EXPECT_EQ(mrcf_check_head(path.c_str()), 0);
}

TEST(MrcHead, WritingAnUnstampedHeaderWarnsAndWritesAnyway) {
  TempDir dir;
  const std::string path = dir.file("unstamped.mrc");
  MRC_HEAD head = mrc_test_head(1, 1, 1, 2);
  memset(head.map, 0, 4);
  const std::string printed = captured_stdout([&] { mrc_new_file(path.c_str(), &head); });
  EXPECT_NE(printed.find("Warning in function mrc_write_head(), file mrc on line"),
            std::string::npos);
  EXPECT_NE(printed.find(": MRC format problem! Check file format!\n!\n"), std::string::npos);
  EXPECT_EQ(read_test_file(path).size(), 1024u);
}

TEST(MrcHead, FileShorterThanAHeaderIsRefused) {
  TempDir dir;
  const std::string path = dir.file("short.mrc");
  write_test_file(path, Bytes(1023, 7));
  FilePtr file(fopen(path.c_str(), "r"));
  MRC_HEAD head = mrc_test_head(3, 4, 5, 2);
  EXPECT_NE(captured_stdout([&] {
              EXPECT_EQ(mrc_read_head(file.get(), &head), -1);
            }).find("shorter than an MRC header"),
            std::string::npos);
  EXPECT_EQ(head.nx, 3);
  EXPECT_EQ(get_mrcf_head(path.c_str()), nullptr);
  EXPECT_EQ(mrcf_check_head(path.c_str()), -1);
}

TEST(MrcHead, SettersAndStatistics) {
  MRC_HEAD head = mrc_test_head(1, 1, 1, 6);
  mrc_set_head_xyz_mmm(&head, 7, 8, 9, 5.0f, 2.0f, 3.5f);
  EXPECT_EQ(head.nx, 7);
  EXPECT_EQ(head.ny, 8);
  EXPECT_EQ(head.nz, 9);
  EXPECT_EQ(head.dmin, 2.0f);
  EXPECT_EQ(head.dmax, 5.0f);
  EXPECT_EQ(head.dmean, 3.5f);
  EXPECT_EQ(head.mode, 6);
  mrc_set_head_xyz_mmm(&head, 1, 1, 1, -1.0f, 4.0f, 0.0f);
  EXPECT_EQ(head.dmin, -1.0f);
  EXPECT_EQ(head.dmax, 4.0f);

  const float data[] = {3.0f, -1.0f, 2.0f, 8.0f, -9.0f};
  mrc_set_head_mmm_from_data(&head, data, 4);
  EXPECT_EQ(head.dmax, 8.0f);
  EXPECT_EQ(head.dmin, -1.0f);
  EXPECT_EQ(head.dmean, 3.0f);
}

TEST(MrcHead, ModeNames) {
  const struct {
    int mode;
    const char* name;
  } modes[] = {{0, "Byte"},
               {1, "Short"},
               {2, "Float"},
               {3, "Complex Short"},
               {4, "Complex Float"},
               {5, "Unknown"},
               {6, "Unsigned Short"},
               {16, "RGB"},
               {20, "Complex Float (Real, Imag)"},
               {21, "Complex Float (Amp, Rad)"},
               {22, "Complex Float (Amp, Deg)"},
               {-1, "Unknown"}};
  for (const auto& m : modes) {
    const MRC_HEAD head = mrc_test_head(1, 1, 1, m.mode);
    EXPECT_STREQ(mrc_get_head_mode(&head), m.name) << m.mode;
  }
}

}  // namespace
