#include "io/mrc_write.h"

#include <cstdint>
#include <vector>

#include "core/report.h"
#include "io/mrc_check.h"
#include "io/mrc_head_io.h"
#include "io/mrc_mode.h"
#include "io/mrc_read.h"

namespace {

// Float sections can only go into a float file whose header quib could read back.
bool takes_float_sections(const MRC_HEAD* head) {
  if (head->mode != MRC_MODE_FLOAT) {
    QUIB_WARNING("mrc", "Float data can only be written into an MRC file of mode 2");
    return false;
  }
  return mrc_check_head_sizes(head) == 0;
}

// Writes count floats at the position fseek(offset, whence) gives; a failure is reported in the
// caller's name.
int write_floats(FILE* file, long offset, int whence, const float* data, size_t count,
                 const char* caller) {
  if (fseek(file, offset, whence) != 0 || fwrite(data, sizeof(float), count, file) != count) {
    quib_warning(caller, "mrc", __LINE__, "Writing the MRC data failed");
    return -1;
  }
  return 0;
}

}  // namespace

int mrc_write_head_data(FILE* file, MRC_HEAD* head, const float* data) {
  if (head->mode != MRC_MODE_FLOAT)
    QUIB_FATAL("mrc",
               "mrc_write_head_alldata() does not support writing float data to other MRC format.");
  if (mrc_check_head_sizes(head) != 0) return -1;
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
  return write_floats(file, long(MRC_HEAD_BYTES + n * section * sizeof(float)), SEEK_SET, data,
                      section, __func__);
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
      const long offset = long(MRC_HEAD_BYTES + ((z * ny + y) * nx + x) * int64_t(sizeof(float)));
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
  if (mrc_check_head_sizes(&flipped) != 0 || mrc_write_head(out, &flipped) != 0) return -1;
  std::vector<float> plane(mrc_section_voxels(&flipped));
  for (int y = 0; y < head.ny; ++y)
    if (mrc_read_slice(in, &head, y, 'y', plane.data()) != 0 ||
        mrc_add_sliceN(out, &flipped, plane.data(), y) != 0)
      return -1;
  printf("\nflipping finished!");
  return 0;
}
