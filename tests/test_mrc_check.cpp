// Checks of MRC headers: the exact file size, the validation that guards every allocation, and
// the comparison of two micrographs of one run.
#include <gtest/gtest.h>

#include <vector>

#include "io/mrc_check.h"
#include "io/mrc_header.h"
#include "io/mrc_read.h"
#include "mrc_test_files.h"
#include "test_util.h"

namespace {

TEST(MrcCheck, FileSizeMustMatchExactly) {
  TempDir dir;
  const std::string path = dir.file("size.mrc");
  const struct {
    int mode;
    size_t data_bytes;
    bool fails;
  } cases[] = {{0, 2, false},  {1, 4, false},   {6, 4, false}, {2, 8, false}, {3, 8, false},
               {4, 16, false}, {22, 16, false}, {2, 7, true},  {2, 9, true},  {0, 3, true}};
  for (const auto& c : cases) {
    write_test_mrc(path, mrc_test_head(2, 1, 1, c.mode), Bytes(c.data_bytes, 1));
    FilePtr file(fopen(path.c_str(), "r"));
    MRC_HEAD head;
    mrc_read_head(file.get(), &head);
    const std::string printed =
        captured_stdout([&] { EXPECT_EQ(mrc_check_fsize(file.get(), &head), c.fails ? -1 : 0); });
    EXPECT_EQ(printed.empty(), !c.fails) << c.mode << " " << c.data_bytes;
  }
  write_test_mrc(path, mrc_test_head(2, 1, 1, 16), Bytes(6, 1));
  FilePtr file(fopen(path.c_str(), "r"));
  MRC_HEAD head;
  mrc_read_head(file.get(), &head);
  EXPECT_NE(captured_stdout([&] { EXPECT_EQ(mrc_check_fsize(file.get(), &head), -1); }).find("File type unknown!!"),
            std::string::npos);
}

TEST(MrcCheck, ExtendedHeaderIsSkippedAndCountsInTheSizeCheck) {
  TempDir dir;
  const std::string path = dir.file("extended.mrc");
  MRC_HEAD head = mrc_test_head(2, 2, 1, 2);
  head.next = 8;
  write_test_mrc(path, head, mrc_test_elements<float>({7, 8, 1, 2, 3, 4}));
  FilePtr file(fopen(path.c_str(), "r"));
  mrc_read_head(file.get(), &head);
  EXPECT_EQ(captured_stdout([&] { EXPECT_EQ(mrc_check_fsize(file.get(), &head), 0); }), "");
  std::vector<float> data(4);
  EXPECT_EQ(mrc_read_all(file.get(), &head, data.data()), 0);
  EXPECT_EQ(data, (std::vector<float>{1, 2, 3, 4}));

  // Eight bytes of the data taken for extended header: the file no longer adds up.
  head.next = 16;
  const std::string printed = captured_stdout([&] { EXPECT_EQ(mrc_check_fsize(file.get(), &head), -1); });
  EXPECT_EQ(printed.rfind("File size 1048  4 xyz 16 extended header 16Warning in function mrc_check_fsize(), file mrc "
                          "on line ",
                          0),
            0u)
      << printed;
  EXPECT_NE(printed.find(": File size error!!\n"), std::string::npos);
  EXPECT_NE(captured_stdout([&] {
              EXPECT_EQ(mrc_read_all_nocheck(file.get(), &head, data.data()), -1);
            }).find("holds 1048 bytes, but its header describes 1056 (with an extended header of 16 bytes)!"),
            std::string::npos);
  const ChildResult result = run_in_child([&] { mrc_read_all(file.get(), &head, data.data()); });
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("Error in function mrc_read_all(), file mrc on line"), std::string::npos);
  EXPECT_NE(result.output.find(": File size error!! Exit now!\n"), std::string::npos);

  // A negative size would have the data start inside the header.
  head.next = -8;
  std::vector<float> box(1);
  for (const std::string& refused :
       {captured_stdout([&] { EXPECT_EQ(mrc_check_head_data(file.get(), &head), -1); }),
        captured_stdout([&] { EXPECT_EQ(mrc_read_slice(file.get(), &head, 0, 'y', data.data()), -1); }),
        captured_stdout([&] { EXPECT_EQ(mrc_read_sub_area(file.get(), &head, box.data(), 0, 0, 0, 1, 1, 1), -1); }),
        captured_stdout([&] { EXPECT_EQ(mrc_2d_read_grids(file.get(), &head, box.data(), 1, 1), -1); })})
    EXPECT_NE(refused.find("The MRC extended header size is negative (-8 bytes); the file is damaged!"),
              std::string::npos)
        << refused;
  EXPECT_NE(captured_stdout([&] { EXPECT_EQ(mrc_check_fsize(file.get(), &head), -1); }).find("File size error!"),
            std::string::npos);
}

TEST(MrcCheck, ValidationRefusesHeadersThatCannotBeHeld) {
  TempDir dir;
  const std::string path = dir.file("check.mrc");
  const struct {
    int nx, ny, nz, mode;
    size_t data_bytes;
    const char* message;  // nullptr: accepted
  } cases[] = {
      {2, 2, 2, 2, 32, nullptr},
      {2, 2, 2, 1, 16, nullptr},
      {2, 2, 2, 1, 17, nullptr},  // a trailing byte after the data is allowed
      {0, 2, 2, 2, 32, "sizes must be positive, but nx is 0"},
      {2, -1, 2, 2, 32, "ny -1"},
      {2, 2, 0, 2, 32, "nz 0"},
      {65536, 32768, 1, 0, 16, "section of 65536 x 32768 pixels is too large"},
      {46341, 46341, 1, 0, 16, "section of 46341 x 46341"},
      {32768, 32768, 9, 0, 16, "exceed the limit of 8589934592 values"},
      {2, 2, 2, 4, 64, "mode 4 (Complex Float) cannot be read"},
      {2, 2, 2, 16, 64, "mode 16 (RGB) cannot be read"},
      {2, 2, 2, 2, 31, "holds 1055 bytes, but its header describes 1056"},
      {2, 2, 2, 6, 0, "holds 1024 bytes, but its header describes 1040"},
  };
  for (const auto& c : cases) {
    write_test_mrc(path, mrc_test_head(c.nx, c.ny, c.nz, c.mode), Bytes(c.data_bytes, 0));
    FilePtr file(fopen(path.c_str(), "r"));
    MRC_HEAD head;
    mrc_read_head(file.get(), &head);
    fseek(file.get(), 100, SEEK_SET);
    int status = 0;
    const std::string printed = captured_stdout([&] { status = mrc_check_head_data(file.get(), &head); });
    EXPECT_EQ(ftell(file.get()), 100);
    if (!c.message) {
      EXPECT_EQ(status, 0);
      EXPECT_EQ(printed, "");
      continue;
    }
    EXPECT_EQ(status, -1) << c.message;
    EXPECT_NE(printed.find("Warning in function mrc_check_head_"), std::string::npos) << printed;
    EXPECT_NE(printed.find(c.message), std::string::npos) << printed;
  }
}

TEST(MrcCheck, AllocatingReadersRefuseBeforeAllocating) {
  TempDir dir;
  const std::string path = dir.file("huge.mrc");
  write_test_mrc(path, mrc_test_head(40000, 40000, 4, 2), Bytes(64, 0));
  for (const ChildResult& result : {run_in_child([&] { get_mrcf_data_all(path.c_str()); }),
                                    run_in_child([&] { get_mrcf_data_sliceN(path.c_str(), 0); })}) {
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("holds 1088 bytes, but its header describes 25600001024"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("The MRC file " + path + " cannot be read.\n"), std::string::npos);
    EXPECT_NE(result.output.find(": Invalid MRC file! Exit now!\n"), std::string::npos);
  }
  const ChildResult missing = run_in_child([&] { get_mrcf_data_all(dir.file("none.mrc").c_str()); });
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.output.rfind("Cannot open file " + dir.file("none.mrc") +
                                     ". Permission denied or wrong file name.\nError in function "
                                     "get_mrcf_data_all(), file mrc on line ",
                                 0),
            0u)
      << missing.output;
}

TEST(MrcCheck, TwoMicrographsMustAgreeInSizeAndMode) {
  const MRC_HEAD first = mrc_test_head(4096, 4096, 1, 2);
  const MRC_HEAD same = mrc_test_head(4096, 4096, 1, 2);
  EXPECT_TRUE(mrc_same_shape(&same, &first));
  EXPECT_EQ(mrc_head_shape(&first), "4096 x 4096 x 1 in mode 2 (Float)");
  const struct {
    MRC_HEAD head;
    const char* shape;
  } differing[] = {
      {mrc_test_head(4095, 4096, 1, 2), "4095 x 4096 x 1 in mode 2 (Float)"},
      {mrc_test_head(4096, 4000, 1, 2), "4096 x 4000 x 1 in mode 2 (Float)"},
      {mrc_test_head(4096, 4096, 2, 2), "4096 x 4096 x 2 in mode 2 (Float)"},
      {mrc_test_head(4096, 4096, 1, 1), "4096 x 4096 x 1 in mode 1 (Short)"},
  };
  for (const auto& other : differing) {
    EXPECT_FALSE(mrc_same_shape(&other.head, &first)) << other.shape;
    EXPECT_EQ(mrc_head_shape(&other.head), other.shape);
  }
}

}  // namespace
