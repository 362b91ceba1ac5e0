// MRC files by name: sizes by keyword, mode names, and an input opened with its float output.
#include <gtest/gtest.h>

#include "io/mrc_header.h"
#include "io/mrc_read.h"
#include "io/mrc_write.h"
#include "mrc_test_files.h"
#include "test_util.h"

namespace {

TEST(MrcFile, DimensionSizesByKeyword) {
  TempDir dir;
  const std::string path = dir.file("dims.mrc");
  write_test_mrc(path, mrc_test_head(3, 5, 7, 1), Bytes(3 * 5 * 7 * 2, 0));
  const struct {
    const char* keyword;
    long size;
  } cases[] = {{"x", 3},   {"Y", 5},   {"z", 7},   {"xy", 15},   {"YX", 15},  {"xz", 21},
               {"zX", 21}, {"yz", 35}, {"zy", 35}, {"xyz", 105}, {"XYZ", 105}};
  for (const auto& c : cases)
    EXPECT_EQ(get_mrcf_dim_size(path.c_str(), c.keyword), c.size) << c.keyword;
  for (const char* wrong : {"w", "xx", "zyx", ""}) {
    long size = -1;
    const std::string printed =
        captured_stdout([&] { size = get_mrcf_dim_size(path.c_str(), wrong); });
    EXPECT_EQ(size, 0);
    EXPECT_EQ(printed.rfind("Error in function get_mrcf_dim_size(), file mrc on line ", 0), 0u);
    const std::string tail =
        std::string(": unrecognized dimension keywords ") + wrong +
        " !\nvalid dimension keywords: x, y, z, xy, yx, xz, zx, yz, zy, xyz; not case sensitive\n";
    EXPECT_EQ(printed.substr(printed.size() - tail.size()), tail);
  }
  EXPECT_STREQ(mrcf_get_head_mode(path.c_str()), "Short");
}

TEST(MrcFile, InputOpensWithAFloatOutput) {
  TempDir dir;
  const std::string in_path = dir.file("in.mrc"), out_path = dir.file("out.mrc");
  write_test_mrc(in_path, mrc_test_head(2, 3, 1, 0), Bytes(6, 1));
  FilePtr in, out;
  MrcHeadPtr in_head, out_head;
  ASSERT_EQ(mrcf_io_open_io_read_write_head(in_path.c_str(), out_path.c_str(), in, out, in_head,
                                            out_head),
            0);
  EXPECT_EQ(in_head->mode, 0);
  EXPECT_EQ(out_head->mode, 2);
  EXPECT_EQ(out_head->nx, 2);
  EXPECT_EQ(out_head->ny, 3);
  HostBuffer<float> data(6);
  EXPECT_EQ(mrc_io_close_io_free_head_data(in, out, in_head, out_head, data), 0);
  EXPECT_EQ(in, nullptr);
  EXPECT_EQ(out_head, nullptr);
  EXPECT_EQ(data.get(), nullptr);
  MRC_HEAD written;
  ASSERT_EQ(mrcf_read_head(out_path.c_str(), &written), 0);
  EXPECT_EQ(written.mode, 2);
  EXPECT_EQ(written.ny, 3);

  const std::string empty_path = dir.file("empty.mrc");
  write_test_file(empty_path, Bytes(10, 0));
  captured_stdout([&] {
    EXPECT_EQ(
        mrcf_io_open_io_read_head(empty_path.c_str(), out_path.c_str(), in, out, in_head, out_head),
        -1);
  });
  EXPECT_EQ(mrc_io_close_io_free_head(in, out, in_head, out_head), 0);
}

}  // namespace
