#include "io/mrc_read_area.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/report.h"
#include "io/mrc_check.h"
#include "io/mrc_elements.h"
#include "io/mrc_mode.h"

namespace {

void require_float_mode(const MRC_HEAD* head) {
  if (head->mode != MRC_MODE_FLOAT) mrc_stop("File Mode must be MRC_MODE_FLOAT!Exit now!");
}

// Whether [start, start + length) lies within [0, size) and is not empty.
bool within(int start, int length, int size) {
  return start >= 0 && length > 0 && int64_t(start) + length <= size;
}

}  // namespace

int mrc_read_sub_area(FILE* file, const MRC_HEAD* head, float* out, int x0, int y0, int z0, int dx,
                      int dy, int dz) {
  require_float_mode(head);
  if (mrc_check_head_sizes(head) != 0) return -1;
  if (!within(x0, dx, head->nx) || !within(y0, dy, head->ny) || !within(z0, dz, head->nz)) {
    QUIB_WARNING("mrc", "The box to read lies outside the MRC data");
    return -1;
  }
  const int64_t nx = head->nx, ny = head->ny;
  const size_t count = size_t(dx) * dy * dz;
  size_t filled = 0;
  for (int64_t z = z0; z < z0 + dz; ++z)
    for (int64_t y = y0; y < y0 + dy; ++y) {
      const size_t got =
          mrc_read_elements_at(file, head->mode, (z * ny + y) * nx + x0, dx, out + filled);
      filled += got;
      if (got < size_t(dx)) return MRC_REPORT_SHORT_READ(out, filled, count);
    }
  return 0;
}

int mrc_2d_read_sub_area(FILE* file, const MRC_HEAD* head, float* out, int x0, int y0, int dx,
                         int dy) {
  return mrc_read_sub_area(file, head, out, x0, y0, 0, dx, dy, 1);
}

int mrc_2d_read_grids(FILE* file, const MRC_HEAD* head, float* out, int box, int step) {
  require_float_mode(head);
  if (mrc_check_head_sizes(head) != 0) return -1;
  if (step <= 0 || !within(0, box, head->nx) || !within(0, box, head->ny)) {
    QUIB_WARNING("mrc", "The grid boxes do not fit the MRC section");
    return -1;
  }
  const size_t across = size_t(head->nx - box) / step + 1;
  const size_t down = size_t(head->ny - box) / step + 1;
  const size_t box_values = size_t(box) * box;
  std::vector<float> row(head->nx);
  // Each image row is read once per row of boxes and cut into the rows of those boxes.
  for (size_t j = 0; j < down; ++j)
    for (size_t y = 0; y < size_t(box); ++y) {
      const int64_t image_row = int64_t(j * step + y);
      const size_t got =
          mrc_read_elements_at(file, head->mode, image_row * head->nx, row.size(), row.data());
      if (got < row.size()) return MRC_REPORT_SHORT_READ(out, 0, across * down * box_values);
      for (size_t i = 0; i < across; ++i)
        memcpy(out + (j * across + i) * box_values + y * box, row.data() + i * step,
               box * sizeof(float));
    }
  return 0;
}
