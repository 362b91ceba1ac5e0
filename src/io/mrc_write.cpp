#include "io/mrc_write.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/report.h"
#include "io/mrc_byte_order.h"
#include "io/mrc_check.h"
#include "io/mrc_read.h"
#include "stats/host_stats.h"

namespace {

// Float sections, written in the machine's order, can only go into a little-endian float file
// whose header quib could read back.
bool takes_float_sections(const MRC_HEAD* head) {
  if (head->mode != MRC_MODE_FLOAT) {
    QUIB_WARNING("mrc", "Float data can only be written into an MRC file of mode 2");
    return false;
  }
  if (mrc_head_big_endian(head)) {
    QUIB_WARNING("mrc", "Float data can only be written into a little-endian MRC file");
    return false;
  }
  return mrc_check_head_sizes(head) == 0;
}

// Writes count floats at the position fseek(offset, whence) gives; a failure is reported in the
// caller's name.
int write_floats(FILE* file, long offset, int whence, const float* data, size_t count, const char* caller) {
  if (fseek(file, offset, whence) != 0 || fwrite(data, sizeof(float), count, file) != count) {
    quib_warning(caller, "mrc", __LINE__, "Writing the MRC data failed");
    return -1;
  }
  return 0;
}

}  // namespace

int mrc_write_head_data(FILE* file, MRC_HEAD* head, const float* data) {
  if (head->mode != MRC_MODE_FLOAT)
    QUIB_FATAL("mrc", "mrc_write_head_alldata() does not support writing float data to other MRC format.");
  if (mrc_check_head_sizes(head) != 0) return -1;
  mrc_set_head_plain_layout(head);
  mrc_set_head_mmm_from_data(head, data, mrc_voxels(head));
  if (mrc_write_head(file, head) != 0) return -1;
  const size_t section = mrc_section_voxels(head);
  for (int z = 0; z < head->nz; ++z)
    if (write_floats(file, 0, SEEK_CUR, data + z * section, section, __func__) != 0) return -1;
  return 0;
}

int mrc_add_slice(FILE* file, const MRC_HEAD* head, const float* data) {
  if (!takes_float_sections(head)) return -1;
  return write_floats(file, 0, SEEK_END, data, mrc_section_voxels(head), __func__);
}

int mrc_add_sliceN(FILE* file, const MRC_HEAD* head, const float* data, int n) {
  if (!takes_float_sections(head)) return -1;
  if (n < 0 || n >= head->nz) {
    QUIB_WARNING("mrc", "The section to write lies outside the MRC file");
    return -1;
  }
  const size_t section = mrc_section_voxels(head);
  return write_floats(file, long(mrc_data_offset(head) + n * section * sizeof(float)), SEEK_SET, data, section,
                      __func__);
}

int mrc_update_slcX(FILE* file, int x, const float* data) {
  MRC_HEAD head;
  if (mrc_read_head(file, &head) != 0 || !takes_float_sections(&head)) return -1;
  if (x < 0 || x >= head.nx) {
    QUIB_WARNING("mrc", "The column to write lies outside the MRC file");
    return -1;
  }
  if (mrc_check_head_data(file, &head) != 0) return -1;
  const int64_t nx = head.nx, ny = head.ny;
  for (int64_t z = 0; z < head.nz; ++z)
    for (int64_t y = 0; y < ny; ++y) {
      const long offset = long(mrc_data_offset(&head) + ((z * ny + y) * nx + x) * int64_t(sizeof(float)));
      if (write_floats(file, offset, SEEK_SET, data + z * ny + y, 1, __func__) != 0) return -1;
    }
  return 0;
}

int mrc_flipyz(FILE* in, FILE* out) {
  printf("\nBegin flipping:");
  MRC_HEAD head;
  if (mrc_read_head(in, &head) != 0 || mrc_check_head_data(in, &head) != 0) return -1;
  MRC_HEAD flipped = head;
  mrc_set_head_xyz_mode(&flipped, head.nx, head.nz, head.ny, MRC_MODE_FLOAT);
  mrc_set_head_plain_layout(&flipped);
  if (mrc_check_head_sizes(&flipped) != 0 || mrc_write_head(out, &flipped) != 0) return -1;
  std::vector<float> plane(mrc_section_voxels(&flipped));
  for (int y = 0; y < head.ny; ++y)
    if (mrc_read_slice(in, &head, y, 'y', plane.data()) != 0 || mrc_add_sliceN(out, &flipped, plane.data(), y) != 0)
      return -1;
  printf("\nflipping finished!");
  return 0;
}

namespace {

// dmin, dmax and dmean over every section, read one section at a time.
int set_statistics_from_sections(FILE* file, MRC_HEAD* head) {
  const size_t section = mrc_section_voxels(head);
  std::unique_ptr<float, decltype(&free)> plane(static_cast<float*>(malloc(section * sizeof(float))), &free);
  if (!plane) mrc_stop("Function 'malloc' erro, while updating head!");
  float max = 0.0f, min = 0.0f;
  double sum = 0.0;
  for (int z = 0; z < head->nz; ++z) {
    if (mrc_read_slice(file, head, z, 'z', plane.get()) != 0) return -1;
    float section_max, section_min;
    size_t imax, imin;
    max_min_value_and_index(plane.get(), section, section_max, section_min, imax, imin);
    if (z == 0 || section_max > max) max = section_max;
    if (z == 0 || section_min < min) min = section_min;
    sum += hm_sum(plane.get(), section);
  }
  head->dmax = max;
  head->dmin = min;
  head->dmean = float(sum / double(mrc_voxels(head)));
  return 0;
}

}  // namespace

int mrcf_write_head_data(const char* path, MRC_HEAD* head, const float* data) {
  FilePtr file = MRC_OPEN_WRITE(path, "w+");
  const int written = mrc_write_head_data(file.get(), head, data);
  MRC_CLOSE_WRITTEN(file, path);
  return written;
}

int mrcf_write_xyz_data(const char* path, const float* data, int nx, int ny, int nz) {
  MrcHeadPtr head = mrc_new_head();
  mrc_set_head_xyz_mode(head.get(), nx, ny, nz, MRC_MODE_FLOAT);
  return mrcf_write_head_data(path, head.get(), data);
}

int mrc_replace_head(const char* path, const MRC_HEAD* head) {
  FilePtr file = MRC_OPEN_READ(path, "r+");
  if (mrc_write_head(file.get(), head) != 0) QUIB_FATAL_CANNOT_WRITE("mrc", path);
  MRC_CLOSE_WRITTEN(file, path);
  return 0;
}

int mrc_new_file(const char* path, const MRC_HEAD* head) {
  FilePtr file = MRC_OPEN_WRITE(path, "w+");
  if (mrc_write_head(file.get(), head) != 0) QUIB_FATAL_CANNOT_WRITE("mrc", path);
  MRC_CLOSE_WRITTEN(file, path);
  return 0;
}

int mrcf_update_head(const char* path) {
  FilePtr file(fopen(path, "r+"));
  if (!file) mrc_stop("Cannot open file strike any key exit!");
  printf("updating head!\n");
  MRC_HEAD head;
  if (mrc_read_head(file.get(), &head) != 0) return -1;
  if (!mrc_mode_readable(head.mode)) {
    head.dmin = head.dmax = head.dmean = 0.0f;
  } else if (mrc_check_head_data(file.get(), &head) != 0 || set_statistics_from_sections(file.get(), &head) != 0) {
    return -1;
  }
  if (mrc_write_head(file.get(), &head) != 0) QUIB_FATAL_CANNOT_WRITE("mrc", path);
  MRC_CLOSE_WRITTEN(file, path);
  printf("updating head finished!\n");
  return 0;
}

int mrcf_i_open_io_read_head(const char* in_path, FilePtr& in, MrcHeadPtr& in_head, MrcHeadPtr& out_head) {
  in = MRC_OPEN_READ(in_path, "r");
  in_head = mrc_new_head();
  out_head = mrc_new_head();
  if (mrc_read_head(in.get(), in_head.get()) != 0) return -1;
  *out_head = *in_head;
  mrc_set_head_mode(out_head.get(), MRC_MODE_FLOAT);
  mrc_set_head_plain_layout(out_head.get());
  return 0;
}

int mrcf_io_open_io_read_head(const char* in_path, const char* out_path, FilePtr& in, FilePtr& out, MrcHeadPtr& in_head,
                              MrcHeadPtr& out_head) {
  out = MRC_OPEN_WRITE(out_path, "w+");
  return mrcf_i_open_io_read_head(in_path, in, in_head, out_head);
}

int mrcf_io_open_io_read_write_head(const char* in_path, const char* out_path, FilePtr& in, FilePtr& out,
                                    MrcHeadPtr& in_head, MrcHeadPtr& out_head) {
  if (mrcf_io_open_io_read_head(in_path, out_path, in, out, in_head, out_head) != 0) return -1;
  return mrc_write_head(out.get(), out_head.get());
}

int mrc_io_close_io_free_head(FilePtr& in, FilePtr& out, MrcHeadPtr& in_head, MrcHeadPtr& out_head) {
  in.reset();
  in_head.reset();
  out_head.reset();
  return mrc_close(out);
}

int mrc_io_close_io_free_head_data(FilePtr& in, FilePtr& out, MrcHeadPtr& in_head, MrcHeadPtr& out_head,
                                   HostBuffer<float>& data) {
  data = HostBuffer<float>();
  return mrc_io_close_io_free_head(in, out, in_head, out_head);
}
