// Writing float MRC files: whole files from host and device memory, sections and columns in
// place, the y-z flip and the recomputed header statistics.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "backend/memory.h"
#include "io/mrc_header.h"
#include "io/mrc_read.h"
#include "io/mrc_write.h"
#include "mrc_test_files.h"
#include "output/mrc_write_device.h"
#include "test_util.h"

namespace {

const std::vector<float> image_4x3 = {1, 2, 3, 4, 5, 6, 7, -8, 9, 10, 11, 13};

std::vector<float> floats_after_header(const Bytes& bytes) {
  std::vector<float> values((bytes.size() - 1024) / 4);
  memcpy(values.data(), bytes.data() + 1024, values.size() * 4);
  return values;
}

TEST(MrcWrite, Mode2ImageCarriesItsStatistics) {
  TempDir dir;
  const std::string host = dir.file("host.mrc"), device = dir.file("device.mrc"), by_head = dir.file("head.mrc");
  EXPECT_EQ(mrcf_write_xyz_data(host.c_str(), image_4x3.data(), 4, 3, 1), 0);
  const Bytes bytes = read_test_file(host);
  ASSERT_EQ(bytes.size(), 1024u + 48);
  EXPECT_EQ(value_at<int32_t>(bytes, 0), 4);
  EXPECT_EQ(value_at<int32_t>(bytes, 4), 3);
  EXPECT_EQ(value_at<int32_t>(bytes, 8), 1);
  EXPECT_EQ(value_at<int32_t>(bytes, 12), 2);
  EXPECT_EQ(value_at<float>(bytes, 76), -8.0f);
  EXPECT_EQ(value_at<float>(bytes, 80), 13.0f);
  EXPECT_EQ(value_at<float>(bytes, 84), 5.25f);
  EXPECT_EQ(floats_after_header(bytes), image_4x3);

  const DeviceBuffer<float> on_device = device_copy_of(image_4x3);
  EXPECT_EQ(mrcf_write_xyz_ddata(device.c_str(), on_device.get(), 4, 3, 1), 0);
  EXPECT_EQ(read_test_file(device), bytes);
  MRC_HEAD head = mrc_test_head(4, 3, 1, 2);
  EXPECT_EQ(mrcf_write_head_ddata(by_head.c_str(), &head, on_device.get()), 0);
  EXPECT_EQ(read_test_file(by_head), bytes);
  FilePtr file(fopen(by_head.c_str(), "w+"));
  EXPECT_EQ(mrc_write_head_ddata(file.get(), &head, on_device.get()), 0);
  file.reset();
  EXPECT_EQ(read_test_file(by_head), bytes);
}

TEST(MrcWrite, WritesThatCannotBeDoneEndTheProgram) {
  TempDir dir;
  MRC_HEAD bytes_head = mrc_test_head(4, 3, 1, 0);
  const ChildResult mode =
      run_in_child([&] { mrcf_write_head_data(dir.file("b.mrc").c_str(), &bytes_head, image_4x3.data()); });
  EXPECT_EQ(mode.status, 1);
  EXPECT_NE(mode.output.find("Error in function mrc_write_head_data(), file mrc on line"), std::string::npos);
  EXPECT_NE(mode.output.find(": mrc_write_head_alldata() does not support writing float data to "
                             "other MRC format.! Exit now!\n"),
            std::string::npos);
  const std::string nowhere = dir.file("missing/a.mrc");
  const ChildResult open = run_in_child([&] { mrcf_write_xyz_data(nowhere.c_str(), image_4x3.data(), 4, 3, 1); });
  EXPECT_EQ(open.status, 1);
  EXPECT_EQ(open.output.rfind("Cannot write to file " + nowhere +
                                  ". Permission denied or no space left!\n"
                                  "Error in function mrcf_write_head_data(), file mrc on line ",
                              0),
            0u);
  const ChildResult full = run_in_child([&] { mrcf_write_xyz_data("/dev/full", image_4x3.data(), 4, 3, 1); });
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.output.find("Warning in function mrc_write_head_data(), file mrc on line"), std::string::npos);
  EXPECT_NE(full.output.find("Cannot write to file /dev/full. Permission denied or no space left!\n"),
            std::string::npos);
  std::string printed = captured_stdout(
      [&] { EXPECT_EQ(mrcf_write_xyz_data(dir.file("c.mrc").c_str(), image_4x3.data(), 0, 3, 1), -1); });
  EXPECT_NE(printed.find("sizes must be positive"), std::string::npos);
}

TEST(MrcWrite, SectionsAndColumnsInPlace) {
  TempDir dir;
  const std::string path = dir.file("stack.mrc");
  const MRC_HEAD head = mrc_test_head(2, 2, 3, 2);
  mrc_new_file(path.c_str(), &head);
  FilePtr file(fopen(path.c_str(), "r+"));
  const float a[] = {1, 2, 3, 4}, b[] = {5, 6, 7, 8}, c[] = {9, 10, 11, 12}, d[] = {-1, -2, -3, -4};
  EXPECT_EQ(mrc_add_slice(file.get(), &head, a), 0);
  EXPECT_EQ(mrc_add_slice(file.get(), &head, b), 0);
  EXPECT_EQ(mrc_add_sliceN(file.get(), &head, c, 2), 0);
  EXPECT_EQ(mrc_add_sliceN(file.get(), &head, d, 0), 0);
  const float column[] = {20, 21, 22, 23, 24, 25};
  EXPECT_EQ(mrc_update_slcX(file.get(), 1, column), 0);
  captured_stdout([&] {
    EXPECT_EQ(mrc_add_sliceN(file.get(), &head, d, 3), -1);
    EXPECT_EQ(mrc_update_slcX(file.get(), 2, column), -1);
    const MRC_HEAD shorts = mrc_test_head(2, 2, 3, 1);
    EXPECT_EQ(mrc_add_slice(file.get(), &shorts, d), -1);
  });
  file.reset();
  EXPECT_EQ(floats_after_header(read_test_file(path)),
            (std::vector<float>{-1, 20, -3, 21, 5, 22, 7, 23, 9, 24, 11, 25}));
}

TEST(MrcWrite, FlipExchangesYAndZ) {
  TempDir dir;
  const std::string in_path = dir.file("in.mrc"), out_path = dir.file("out.mrc");
  Bytes values;  // v(x, y, z) = 100 z + 10 y + x as bytes: 3 x 2 x 2
  for (int z = 0; z < 2; ++z)
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) values.push_back(static_cast<unsigned char>(100 * z + 10 * y + x));
  write_test_mrc(in_path, mrc_test_head(3, 2, 2, 0), values);
  FilePtr in(fopen(in_path.c_str(), "r")), out(fopen(out_path.c_str(), "w+"));
  const std::string printed = captured_stdout([&] { EXPECT_EQ(mrc_flipyz(in.get(), out.get()), 0); });
  EXPECT_EQ(printed, "\nBegin flipping:\nflipping finished!");
  out.reset();
  const Bytes bytes = read_test_file(out_path);
  EXPECT_EQ(value_at<int32_t>(bytes, 12), 2);
  // Output section y holds the x-z plane at row y, z running down its rows.
  EXPECT_EQ(floats_after_header(bytes), (std::vector<float>{0, 1, 2, 100, 101, 102, 10, 11, 12, 110, 111, 112}));
}

// Files quib did not write, behind an extended header and big-endian: a header written back keeps
// the file's layout, while a float file made from one is plain.
TEST(MrcWrite, FilesWithExtendedHeadersOrBigEndianStayConsistent) {
  TempDir dir;
  const std::string in_path = dir.file("in.mrc"), out_path = dir.file("out.mrc");
  const Bytes extended = with_extended_header(
      mrc_test_file_bytes(mrc_test_head(2, 1, 2, 2), mrc_test_elements<float>({0.5f, -0.5f, 4, 1})), Bytes(12, 0xAB));
  const Bytes big_endian = big_endian_mrc(extended, 4);
  write_test_file(in_path, big_endian);
  MRC_HEAD head;
  ASSERT_EQ(mrcf_read_head(in_path.c_str(), &head), 0);
  mrc_replace_head(in_path.c_str(), &head);
  EXPECT_EQ(read_test_file(in_path), big_endian) << "read and written back unchanged";

  EXPECT_EQ(captured_stdout([&] { mrcf_update_head(in_path.c_str()); }), "updating head!\nupdating head finished!\n");
  const Bytes updated = read_test_file(in_path);
  ASSERT_EQ(updated.size(), big_endian.size());
  EXPECT_TRUE(std::equal(updated.begin(), updated.begin() + 76, big_endian.begin()));
  EXPECT_TRUE(std::equal(updated.begin() + 88, updated.end(), big_endian.begin() + 88)) << "only the statistics change";
  ASSERT_EQ(mrcf_read_head(in_path.c_str(), &head), 0);
  EXPECT_EQ(head.dmin, -0.5f);
  EXPECT_EQ(head.dmax, 4.0f);
  EXPECT_EQ(head.dmean, 1.25f);

  FilePtr in(fopen(in_path.c_str(), "r")), out(fopen(out_path.c_str(), "w+"));
  captured_stdout([&] { EXPECT_EQ(mrc_flipyz(in.get(), out.get()), 0); });
  out.reset();
  Bytes flipped = read_test_file(out_path);
  EXPECT_EQ(value_at<int32_t>(flipped, 92), 0);
  EXPECT_EQ(value_at<uint16_t>(flipped, 212), 0x4144);
  EXPECT_EQ(floats_after_header(flipped), (std::vector<float>{0.5f, -0.5f, 4, 1}));

  FilePtr out_stream;
  MrcHeadPtr in_head, out_head;
  ASSERT_EQ(mrcf_io_open_io_read_write_head(in_path.c_str(), out_path.c_str(), in, out_stream, in_head, out_head), 0);
  EXPECT_EQ(in_head->next, 12);
  EXPECT_EQ(out_head->next, 0);
  EXPECT_EQ(mrc_io_close_io_free_head(in, out_stream, in_head, out_head), 0);
  flipped = read_test_file(out_path);
  EXPECT_EQ(value_at<int32_t>(flipped, 0), 2);
  EXPECT_EQ(value_at<int32_t>(flipped, 92), 0);

  // Sections and columns go after the extended header, and never as floats of the wrong order.
  write_test_file(in_path, extended);
  in.reset(fopen(in_path.c_str(), "r+"));
  ASSERT_EQ(mrc_read_head(in.get(), &head), 0);
  const float section[] = {7, 8}, column[] = {9, 10};
  EXPECT_EQ(mrc_add_sliceN(in.get(), &head, section, 1), 0);
  EXPECT_EQ(mrc_update_slcX(in.get(), 0, column), 0);
  in.reset();
  const Bytes written = read_test_file(in_path);
  EXPECT_EQ(Bytes(written.begin(), written.begin() + 1036), Bytes(extended.begin(), extended.begin() + 1036));
  EXPECT_EQ(floats_after_header(Bytes(written.begin() + 12, written.end())), (std::vector<float>{9, -0.5f, 10, 8}));
  write_test_file(in_path, big_endian);
  in.reset(fopen(in_path.c_str(), "r+"));
  ASSERT_EQ(mrc_read_head(in.get(), &head), 0);
  const std::string printed = captured_stdout([&] {
    EXPECT_EQ(mrc_add_sliceN(in.get(), &head, section, 1), -1);
    EXPECT_EQ(mrc_update_slcX(in.get(), 0, column), -1);
  });
  EXPECT_NE(printed.find("Float data can only be written into a little-endian MRC file!"), std::string::npos);
  in.reset();
  EXPECT_EQ(read_test_file(in_path), big_endian);
}

TEST(MrcWrite, UpdateHeadRecomputesStatisticsOverAllSections) {
  TempDir dir;
  const std::string path = dir.file("update.mrc");
  const struct {
    int mode;
    Bytes data;
    float min, max, mean;
  } cases[] = {
      {1, mrc_test_elements<int16_t>({-3, 5, 7, 0}), -3, 7, 2.25f},
      {6, mrc_test_elements<uint16_t>({65535, 1, 2, 0}), 0, 65535, 16384.5f},
      {0, Bytes{9, 1, 2, 4}, 1, 9, 4},
      {2, mrc_test_elements<float>({0.5f, -0.5f, 4, 1}), -0.5f, 4, 1.25f},
      {4, Bytes(32, 1), 0, 0, 0},
  };
  for (const auto& c : cases) {
    write_test_mrc(path, mrc_test_head(2, 1, 2, c.mode), c.data);
    const std::string printed = captured_stdout([&] { EXPECT_EQ(mrcf_update_head(path.c_str()), 0); });
    EXPECT_EQ(printed, "updating head!\nupdating head finished!\n");
    const Bytes bytes = read_test_file(path);
    EXPECT_EQ(bytes.size(), 1024 + c.data.size());
    EXPECT_EQ(value_at<float>(bytes, 76), c.min) << c.mode;
    EXPECT_EQ(value_at<float>(bytes, 80), c.max) << c.mode;
    EXPECT_EQ(value_at<float>(bytes, 84), c.mean) << c.mode;
  }
  const ChildResult missing = run_in_child([&] { mrcf_update_head(dir.file("none.mrc").c_str()); });
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.output, "Cannot open file strike any key exit!\n");
}

}  // namespace
