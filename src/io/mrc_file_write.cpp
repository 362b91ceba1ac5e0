#include "io/mrc_file_write.h"

#include <cstdlib>
#include <memory>

#include "core/report.h"
#include "io/mrc_check.h"
#include "io/mrc_head_io.h"
#include "io/mrc_mode.h"
#include "io/mrc_read.h"
#include "io/mrc_stream.h"
#include "io/mrc_write.h"
#include "stats/host_stats.h"

namespace {

// dmin, dmax and dmean over every section, read one section at a time.
int set_statistics_from_sections(FILE* file, MRC_HEAD* head) {
  const size_t section = mrc_section_voxels(head);
  std::unique_ptr<float, decltype(&free)> plane(
      static_cast<float*>(malloc(section * sizeof(float))), &free);
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
  } else if (mrc_check_head_data(file.get(), &head) != 0 ||
             set_statistics_from_sections(file.get(), &head) != 0) {
    return -1;
  }
  if (mrc_write_head(file.get(), &head) != 0) QUIB_FATAL_CANNOT_WRITE("mrc", path);
  MRC_CLOSE_WRITTEN(file, path);
  printf("updating head finished!\n");
  return 0;
}
