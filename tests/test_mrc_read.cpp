// Reading MRC data as floats: the conversions of every readable mode, planes along each axis,
// boxes and grids, and reads that come up short.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "io/mrc_check.h"
#include "io/mrc_header.h"
#include "io/mrc_read.h"
#include "mrc_test_files.h"
#include "test_util.h"

namespace {

// v(x, y, z) = 100 z + 10 y + x, small enough for every mode.
float voxel(int x, int y, int z) { return float(100 * z + 10 * y + x); }

// The volume's bytes in the given mode.
Bytes volume_bytes(int nx, int ny, int nz, int mode) {
  std::vector<float> values;
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) values.push_back(voxel(x, y, z));
  if (mode == 0) return Bytes(values.begin(), values.end());
  if (mode == 1) return mrc_test_elements(std::vector<int16_t>(values.begin(), values.end()));
  if (mode == 6) return mrc_test_elements(std::vector<uint16_t>(values.begin(), values.end()));
  return mrc_test_elements(values);
}

struct OpenMrc {
  FilePtr file;
  MRC_HEAD head;
};

OpenMrc open_mrc(const std::string& path) {
  OpenMrc mrc{FilePtr(fopen(path.c_str(), "r")), {}};
  EXPECT_EQ(mrc_read_head(mrc.file.get(), &mrc.head), 0);
  return mrc;
}

TEST(MrcRead, EveryReadableModeConvertsToFloat) {
  TempDir dir;
  const std::vector<uint16_t> words = {0x0000, 0x0001, 0xFFFE, 0x7FFF, 0xFFFF, 0x8000};
  const struct {
    int mode;
    Bytes data;
    std::vector<float> expected;
  } cases[] = {
      {0, Bytes{0, 1, 127, 0xFF, 0x80}, {0, 1, 127, -1, -128}},
      {1, mrc_test_elements(words), {0, 1, -2, 32767, -1, -32768}},
      {6, mrc_test_elements(words), {0, 1, 65534, 32767, 65535, 32768}},
      {2, mrc_test_elements<float>({1.5f, -2.25f, 1e30f}), {1.5f, -2.25f, 1e30f}},
  };
  for (const auto& c : cases) {
    const std::string path = dir.file("mode" + std::to_string(c.mode) + ".mrc");
    const int n = int(c.expected.size());
    write_test_mrc(path, mrc_test_head(n, 1, 1, c.mode), c.data);
    std::vector<float> all(n, 99.0f), unchecked(n, 99.0f), plane(n, 99.0f);
    OpenMrc mrc = open_mrc(path);
    EXPECT_EQ(mrc_read_all(mrc.file.get(), &mrc.head, all.data()), 0);
    EXPECT_EQ(mrc_read_all_nocheck(mrc.file.get(), &mrc.head, unchecked.data()), 0);
    EXPECT_EQ(mrc_read_slice(mrc.file.get(), &mrc.head, 0, 'z', plane.data()), 0);
    const HostBuffer<float> by_name = get_mrcf_data_all(path.c_str());
    EXPECT_EQ(all, c.expected) << "mode " << c.mode;
    EXPECT_EQ(unchecked, c.expected) << "mode " << c.mode;
    EXPECT_EQ(plane, c.expected) << "mode " << c.mode;
    EXPECT_EQ(std::vector<float>(by_name.get(), by_name.get() + n), c.expected) << "mode " << c.mode;
  }
}

TEST(MrcRead, BytesAreSignedUnlessImodFlagsSayOtherwise) {
  TempDir dir;
  const std::string path = dir.file("bytes.mrc");
  const std::vector<float> as_signed = {0, 1, 127, -128, -1}, as_unsigned = {0, 1, 127, 128, 255};
  const struct {
    int32_t stamp, flags;
    bool is_signed;
  } cases[] = {{0, 0, true},
               {1146047816, 0, true},
               {MRC_IMOD_STAMP, 0, false},
               {MRC_IMOD_STAMP, 1, true},
               {MRC_IMOD_STAMP, 2, false},
               {MRC_IMOD_STAMP, 3, true}};
  for (const auto& c : cases) {
    MRC_HEAD head = mrc_test_head(5, 1, 1, 0);
    head.imod_stamp = c.stamp;
    head.imod_flags = c.flags;
    write_test_mrc(path, head, Bytes{0, 1, 127, 0x80, 0xFF});
    const std::vector<float>& expected = c.is_signed ? as_signed : as_unsigned;
    OpenMrc mrc = open_mrc(path);
    std::vector<float> all(5);
    EXPECT_EQ(mrc_read_all(mrc.file.get(), &mrc.head, all.data()), 0);
    EXPECT_EQ(all, expected) << c.stamp << " " << c.flags;
  }
}

// The same volume, in every mode, stored behind an extended header and in big-endian order, with
// and without a machine stamp: every reader gives the values of the plain file.
TEST(MrcRead, ExtendedHeadersAndBothByteOrdersReadAsThePlainFile) {
  TempDir dir;
  const int nx = 4, ny = 3, nz = 2;
  const std::string path = dir.file("form.mrc");
  for (int mode : {0, 1, 2, 6}) {
    const size_t element_size = mrc_element_size(mode);
    const Bytes plain = mrc_test_file_bytes(mrc_test_head(nx, ny, nz, mode), volume_bytes(nx, ny, nz, mode));
    const Bytes extended = with_extended_header(plain, Bytes(100, 0xEE));
    auto without_stamp = [](Bytes file, bool keep_map) {
      memset(file.data() + (keep_map ? 212 : 208), 0, keep_map ? 4 : 8);
      return file;
    };
    const struct {
      const char* what;
      Bytes file;
    } forms[] = {
        {"extended header", extended},
        {"big-endian", big_endian_mrc(plain, element_size)},
        {"big-endian, extended header", big_endian_mrc(extended, element_size)},
        {"big-endian, MAP but no machine stamp", without_stamp(big_endian_mrc(extended, element_size), true)},
        {"big-endian, old header without MAP", without_stamp(big_endian_mrc(plain, element_size), false)},
        {"little-endian, old header without MAP", without_stamp(extended, false)},
    };
    for (const auto& form : forms) {
      SCOPED_TRACE(std::string(form.what) + ", mode " + std::to_string(mode));
      write_test_file(path, form.file);
      OpenMrc mrc = open_mrc(path);
      EXPECT_EQ(mrc.head.nx, nx);
      EXPECT_EQ(mrc.head.nz, nz);
      EXPECT_EQ(mrc.head.mode, mode);
      captured_stdout([&] {
        EXPECT_EQ(mrc_check_fsize(mrc.file.get(), &mrc.head), 0);
        EXPECT_EQ(mrc_check_head_data(mrc.file.get(), &mrc.head), 0);
      });
      std::vector<float> all(nx * ny * nz), expected;
      for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
          for (int x = 0; x < nx; ++x) expected.push_back(voxel(x, y, z));
      EXPECT_EQ(mrc_read_all(mrc.file.get(), &mrc.head, all.data()), 0);
      EXPECT_EQ(all, expected);
      std::vector<float> column(ny * nz), row(nx * nz);
      EXPECT_EQ(mrc_read_slice(mrc.file.get(), &mrc.head, 3, 'x', column.data()), 0);
      EXPECT_EQ(mrc_read_slice(mrc.file.get(), &mrc.head, 2, 'y', row.data()), 0);
      EXPECT_EQ(column[5], voxel(3, 2, 1));
      EXPECT_EQ(row[5], voxel(1, 2, 1));
      const HostBuffer<float> section = get_mrcf_data_sliceN(path.c_str(), 1);
      EXPECT_EQ(std::vector<float>(section.get(), section.get() + nx * ny),
                std::vector<float>(expected.begin() + nx * ny, expected.end()));
      if (mode != 2) continue;
      std::vector<float> box(4), grid(6 * 4);
      EXPECT_EQ(mrc_read_sub_area(mrc.file.get(), &mrc.head, box.data(), 2, 1, 1, 2, 2, 1), 0);
      EXPECT_EQ(box, (std::vector<float>{112, 113, 122, 123}));
      EXPECT_EQ(mrc_2d_read_grids(mrc.file.get(), &mrc.head, grid.data(), 2, 1), 0);
      EXPECT_EQ(std::vector<float>(grid.end() - 4, grid.end()), (std::vector<float>{12, 13, 22, 23}));
    }
  }
}

TEST(MrcRead, UnstampedFileIsTakenAsSwappedOnlyWhenThatAloneExplainsItsSize) {
  TempDir dir;
  const std::string path = dir.file("unstamped.mrc");
  Bytes file = big_endian_mrc(mrc_test_file_bytes(mrc_test_head(4, 3, 2, 1), volume_bytes(4, 3, 2, 1)), 2);
  memset(file.data() + 212, 0, 4);
  file.pop_back();
  write_test_file(path, file);
  OpenMrc mrc = open_mrc(path);
  EXPECT_EQ(mrc.head.nx, 4 << 24) << "a truncated file without a stamp keeps the machine's order";
  EXPECT_NE(captured_stdout([&] {
              EXPECT_EQ(mrc_check_head_data(mrc.file.get(), &mrc.head), -1);
            }).find("An MRC section of 67108864 x 50331648 pixels is too large"),
            std::string::npos);
}

TEST(MrcRead, PlanesAlongEachAxisOfA3DFile) {
  TempDir dir;
  const int nx = 3, ny = 2, nz = 2;
  for (int mode : {0, 1, 2, 6}) {
    const std::string path = dir.file("volume.mrc");
    write_test_mrc(path, mrc_test_head(nx, ny, nz, mode), volume_bytes(nx, ny, nz, mode));
    OpenMrc mrc = open_mrc(path);
    for (char axis : {'x', 'y', 'z', 'X', 'Y', 'Z'}) {
      const char lower = char(axis | 0x20);
      const int planes = lower == 'x' ? nx : lower == 'y' ? ny : nz;
      for (int n = 0; n < planes; ++n) {
        std::vector<float> expected;
        if (lower == 'z')
          for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) expected.push_back(voxel(x, y, n));
        if (lower == 'y')
          for (int z = 0; z < nz; ++z)
            for (int x = 0; x < nx; ++x) expected.push_back(voxel(x, n, z));
        if (lower == 'x')
          for (int z = 0; z < nz; ++z)
            for (int y = 0; y < ny; ++y) expected.push_back(voxel(n, y, z));
        std::vector<float> plane(expected.size(), -1.0f);
        EXPECT_EQ(mrc_read_slice(mrc.file.get(), &mrc.head, n, axis, plane.data()), 0);
        EXPECT_EQ(plane, expected) << "mode " << mode << " axis " << axis << " plane " << n;
      }
    }
    const HostBuffer<float> section = get_mrcf_data_sliceN(path.c_str(), 1);
    EXPECT_EQ(section.get()[4], voxel(1, 1, 1));
  }
}

TEST(MrcRead, WrongRequestsAreRefused) {
  TempDir dir;
  const std::string path = dir.file("volume.mrc");
  write_test_mrc(path, mrc_test_head(3, 2, 2, 2), volume_bytes(3, 2, 2, 2));
  OpenMrc mrc = open_mrc(path);
  std::vector<float> plane(6);
  const struct {
    int n;
    char axis;
    const char* message;
  } cases[] = {{0, 'q', "axis of an MRC plane"},
               {2, 'z', "Plane 2 along z is outside"},
               {-1, 'y', "Plane -1 along y is outside"},
               {3, 'x', "Plane 3 along x is outside"}};
  for (const auto& c : cases) {
    const std::string printed =
        captured_stdout([&] { EXPECT_EQ(mrc_read_slice(mrc.file.get(), &mrc.head, c.n, c.axis, plane.data()), -1); });
    EXPECT_NE(printed.find(c.message), std::string::npos) << printed;
  }
  MRC_HEAD complex = mrc.head;
  complex.mode = 4;
  for (const std::string& printed :
       {captured_stdout([&] { EXPECT_EQ(mrc_read_slice(mrc.file.get(), &complex, 0, 'z', plane.data()), -1); }),
        captured_stdout([&] { EXPECT_EQ(mrc_read_all_nocheck(mrc.file.get(), &complex, plane.data()), -1); })})
    EXPECT_NE(printed.find("File type unknown!!"), std::string::npos) << printed;
}

TEST(MrcRead, ShortReadsFailAndLeaveZeros) {
  TempDir dir;
  const std::string path = dir.file("truncated.mrc");
  Bytes data = volume_bytes(2, 2, 2, 2);
  data.resize(data.size() - 8);  // the last section lacks its last two floats
  write_test_mrc(path, mrc_test_head(2, 2, 2, 2), data);
  OpenMrc mrc = open_mrc(path);
  std::vector<float> plane(4, 99.0f);
  EXPECT_EQ(mrc_read_slice(mrc.file.get(), &mrc.head, 0, 'z', plane.data()), 0);
  const std::string printed =
      captured_stdout([&] { EXPECT_EQ(mrc_read_slice(mrc.file.get(), &mrc.head, 1, 'z', plane.data()), -1); });
  EXPECT_NE(printed.find("Warning in function mrc_read_slice(), file mrc on line"), std::string::npos);
  EXPECT_NE(printed.find("Reading file failed!\n!\n"), std::string::npos);
  EXPECT_EQ(plane, (std::vector<float>{voxel(0, 0, 1), voxel(1, 0, 1), 0, 0}));
  plane.assign(4, 99.0f);
  EXPECT_EQ(mrc_read_slice(mrc.file.get(), &mrc.head, 1, 'x', plane.data()), -1);
  EXPECT_EQ(plane, (std::vector<float>{voxel(1, 0, 0), voxel(1, 1, 0), voxel(1, 0, 1), 0}));
  EXPECT_EQ(mrc_read_all_nocheck(mrc.file.get(), &mrc.head, plane.data()), -1);

  const std::string odd = dir.file("odd.mrc");
  write_test_mrc(odd, mrc_test_head(2, 1, 1, 1), Bytes{5, 0, 7});
  OpenMrc shorts = open_mrc(odd);
  plane.assign(2, 99.0f);
  EXPECT_EQ(mrc_read_slice(shorts.file.get(), &shorts.head, 0, 'z', plane.data()), -1);
  EXPECT_EQ(plane, (std::vector<float>{5, 0}));
}

TEST(MrcRead, SubAreasAndGrids) {
  TempDir dir;
  const std::string path = dir.file("volume.mrc");
  write_test_mrc(path, mrc_test_head(4, 3, 2, 2), volume_bytes(4, 3, 2, 2));
  OpenMrc mrc = open_mrc(path);
  std::vector<float> box(8);
  EXPECT_EQ(mrcf_read_sub_area(path.c_str(), box.data(), 1, 1, 0, 2, 2, 2), 0);
  EXPECT_EQ(box, (std::vector<float>{11, 12, 21, 22, 111, 112, 121, 122}));
  std::vector<float> area(6);
  EXPECT_EQ(mrc_2d_read_sub_area(mrc.file.get(), &mrc.head, area.data(), 2, 0, 2, 3), 0);
  EXPECT_EQ(area, (std::vector<float>{2, 3, 12, 13, 22, 23}));
  captured_stdout([&] {
    EXPECT_EQ(mrc_2d_read_sub_area(mrc.file.get(), &mrc.head, area.data(), 3, 0, 2, 1), -1);
    EXPECT_EQ(mrc_2d_read_sub_area(mrc.file.get(), &mrc.head, area.data(), 0, 0, 0, 1), -1);
    EXPECT_EQ(mrc_read_sub_area(mrc.file.get(), &mrc.head, area.data(), 0, 0, 1, 1, 1, 2), -1);
  });

  std::vector<float> grid(6 * 4);
  EXPECT_EQ(mrc_2d_read_grids(mrc.file.get(), &mrc.head, grid.data(), 2, 1), 0);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 3; ++i)
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
          EXPECT_EQ(grid[((j * 3 + i) * 2 + y) * 2 + x], voxel(i + x, j + y, 0)) << i << " " << j;
  EXPECT_EQ(mrc_2d_read_grids(mrc.file.get(), &mrc.head, grid.data(), 2, 2), 0);
  EXPECT_EQ(std::vector<float>(grid.begin(), grid.begin() + 8), (std::vector<float>{0, 1, 10, 11, 2, 3, 12, 13}));
  captured_stdout([&] {
    EXPECT_EQ(mrc_2d_read_grids(mrc.file.get(), &mrc.head, grid.data(), 4, 1), -1);
    EXPECT_EQ(mrc_2d_read_grids(mrc.file.get(), &mrc.head, grid.data(), 2, 0), -1);
  });

  MRC_HEAD bytes = mrc.head;
  bytes.mode = 0;
  const ChildResult result = run_in_child([&] { mrc_2d_read_grids(mrc.file.get(), &bytes, grid.data(), 2, 1); });
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, "File Mode must be MRC_MODE_FLOAT!Exit now!\n");
}

}  // namespace
