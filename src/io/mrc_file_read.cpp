#include "io/mrc_file_read.h"

#include <strings.h>

#include <cstdint>
#include <cstdio>

#include "core/report.h"
#include "io/mrc_check.h"
#include "io/mrc_head_io.h"
#include "io/mrc_read.h"
#include "io/mrc_read_area.h"
#include "io/mrc_stream.h"

namespace {

// Reads and validates the header of a file whose data are about to be allocated; ends the
// program in the caller's name when the file cannot hold what the header describes.
void read_valid_head(FILE* file, MRC_HEAD* head, const char* path, const char* function, int line) {
  if (mrc_read_head(file, head) == 0 && mrc_check_head_data(file, head) == 0) return;
  printf("The MRC file %s cannot be read.\n", path);
  quib_fatal(function, "mrc", line, "Invalid MRC file");
}

[[noreturn]] void fail_reading(const char* path, const char* function, int line) {
  printf("Reading the data of the MRC file %s failed.\n", path);
  quib_fatal(function, "mrc", line, "Reading file failed");
}

// Which sizes a dimension keyword multiplies.
struct DimensionKeyword {
  const char* word;
  bool x, y, z;
};
constexpr DimensionKeyword dimension_keywords[] = {
    {"x", true, false, false}, {"y", false, true, false}, {"z", false, false, true},
    {"xy", true, true, false}, {"yx", true, true, false}, {"xz", true, false, true},
    {"zx", true, false, true}, {"yz", false, true, true}, {"zy", false, true, true},
    {"xyz", true, true, true},
};

}  // namespace

int mrcf_read_head(const char* path, MRC_HEAD* head) {
  FilePtr file = MRC_OPEN_READ(path, "r");
  return mrc_read_head(file.get(), head);
}

MrcHeadPtr get_mrcf_head(const char* path) {
  MrcHeadPtr head = mrc_new_head();
  if (mrcf_read_head(path, head.get()) != 0) head.reset();
  return head;
}

HostBuffer<float> get_mrcf_data_all(const char* path) {
  FilePtr file = MRC_OPEN_READ(path, "r");
  MRC_HEAD head;
  read_valid_head(file.get(), &head, path, __func__, __LINE__);
  HostBuffer<float> data(mrc_voxels(&head));
  if (mrc_read_all(file.get(), &head, data.get()) != 0) fail_reading(path, __func__, __LINE__);
  return data;
}

HostBuffer<float> get_mrcf_data_sliceN(const char* path, int n) {
  FilePtr file = MRC_OPEN_READ(path, "r");
  MRC_HEAD head;
  read_valid_head(file.get(), &head, path, __func__, __LINE__);
  HostBuffer<float> data(mrc_section_voxels(&head));
  if (mrc_read_slice(file.get(), &head, n, 'z', data.get()) != 0)
    fail_reading(path, __func__, __LINE__);
  return data;
}

int mrcf_read_all(const char* path, float* out) {
  FilePtr file = MRC_OPEN_READ(path, "r");
  MRC_HEAD head;
  if (mrc_read_head(file.get(), &head) != 0) return -1;
  return mrc_read_all(file.get(), &head, out);
}

int mrcf_read_sub_area(const char* path, float* out, int x0, int y0, int z0, int dx, int dy,
                       int dz) {
  FilePtr file = MRC_OPEN_READ(path, "r");
  MRC_HEAD head;
  if (mrc_read_head(file.get(), &head) != 0) return -1;
  return mrc_read_sub_area(file.get(), &head, out, x0, y0, z0, dx, dy, dz);
}

long get_mrcf_dim_size(const char* path, const char* keyword) {
  const DimensionKeyword* chosen = nullptr;
  for (const DimensionKeyword& candidate : dimension_keywords)
    if (strcasecmp(keyword, candidate.word) == 0) chosen = &candidate;
  if (!chosen) {
    printf("Error in function %s(), file %s on line %d: unrecognized dimension keywords %s !\n",
           __func__, "mrc", __LINE__, keyword);
    printf("valid dimension keywords: x, y, z, xy, yx, xz, zx, yz, zy, xyz; not case sensitive\n");
    return 0;
  }
  MRC_HEAD head;
  if (mrcf_read_head(path, &head) != 0) return 0;
  int64_t size = 1;
  const bool overflow = (chosen->x && __builtin_mul_overflow(size, int64_t(head.nx), &size)) ||
                        (chosen->y && __builtin_mul_overflow(size, int64_t(head.ny), &size)) ||
                        (chosen->z && __builtin_mul_overflow(size, int64_t(head.nz), &size));
  return overflow ? 0 : long(size);
}

const char* mrcf_get_head_mode(const char* path) {
  MRC_HEAD head;
  return mrcf_read_head(path, &head) == 0 ? mrc_get_head_mode(&head) : "Unknown";
}

int mrcf_check_head(const char* path) {
  FilePtr file = MRC_OPEN_READ(path, "r");
  MRC_HEAD head;
  if (mrc_read_head_unstamped(file.get(), &head) == 0 && mrc_head_is_stamped(&head)) return 0;
  printf("Warning: in function 'mrcf_check_head()'! '%s' is not a valid mrc file !\n", path);
  return -1;
}
