#include "io/mrc_read.h"

#include <cctype>
#include <cstdint>
#include <cstring>

#include "core/report.h"
#include "io/mrc_check.h"
#include "io/mrc_elements.h"
#include "io/mrc_mode.h"

namespace {

// Reads the runs of elements that make up one plane, in the order of the output. Returns how
// many output values were filled before a read came up short (all of them on success).
size_t read_plane(FILE* file, const MRC_HEAD* head, int64_t n, char axis, float* out) {
  const int64_t nx = head->nx, ny = head->ny, nz = head->nz;
  if (axis == 'z') return mrc_read_elements_at(file, head->mode, n * nx * ny, nx * ny, out);
  // 'y': row n of every section; 'x': the value at column n of every row of every section.
  const int64_t runs_per_section = axis == 'y' ? 1 : ny;
  const size_t run = axis == 'y' ? nx : 1;
  size_t filled = 0;
  for (int64_t z = 0; z < nz; ++z)
    for (int64_t r = 0; r < runs_per_section; ++r) {
      const int64_t first = axis == 'y' ? (z * ny + n) * nx : (z * ny + r) * nx + n;
      const size_t got = mrc_read_elements_at(file, head->mode, first, run, out + filled);
      filled += got;
      if (got < run) return filled;
    }
  return filled;
}

}  // namespace

int mrc_read_slice(FILE* file, const MRC_HEAD* head, int n, char axis, float* out) {
  if (!mrc_mode_readable(head->mode)) {
    QUIB_WARNING("mrc", "File type unknown!");
    return -1;
  }
  if (mrc_check_head_sizes(head) != 0) return -1;
  axis = char(tolower(static_cast<unsigned char>(axis)));
  const int planes = axis == 'x' ? head->nx : axis == 'y' ? head->ny : axis == 'z' ? head->nz : 0;
  if (planes == 0) {
    QUIB_WARNING("mrc", "The axis of an MRC plane must be x, y or z");
    return -1;
  }
  if (n < 0 || n >= planes) {
    char text[128];
    snprintf(text, sizeof text, "Plane %d along %c is outside the MRC data (0 to %d)", n, axis,
             planes - 1);
    QUIB_WARNING("mrc", text);
    return -1;
  }
  const size_t count = axis == 'x'   ? size_t(head->ny) * size_t(head->nz)
                       : axis == 'y' ? size_t(head->nx) * size_t(head->nz)
                                     : mrc_section_voxels(head);
  const size_t filled = read_plane(file, head, n, axis, out);
  return filled == count ? 0 : MRC_REPORT_SHORT_READ(out, filled, count);
}

int mrc_read_all(FILE* file, const MRC_HEAD* head, float* out) {
  if (mrc_check_fsize(file, head) != 0) QUIB_FATAL("mrc", "File size error!");
  return mrc_read_all_nocheck(file, head, out);
}

int mrc_read_all_nocheck(FILE* file, const MRC_HEAD* head, float* out) {
  if (!mrc_mode_readable(head->mode)) {
    QUIB_WARNING("mrc", "File type unknown!");
    return -1;
  }
  if (mrc_check_head_data(file, head) != 0) return -1;
  const size_t count = mrc_voxels(head);
  const size_t filled = mrc_read_elements_at(file, head->mode, 0, count, out);
  return filled == count ? 0 : MRC_REPORT_SHORT_READ(out, filled, count);
}
