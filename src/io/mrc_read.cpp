#include "io/mrc_read.h"

#include <strings.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "core/report.h"
#include "io/half_float.h"
#include "io/mrc_byte_order.h"
#include "io/mrc_check.h"

namespace {

// Modes 0, 1, 6 and 12, their bytes already in the machine's order; mode-2 data are read straight
// into the output.
void convert_to_float(const unsigned char* raw, const MRC_HEAD* head, size_t count, float* out) {
  switch (head->mode) {
    case MRC_MODE_BYTE:
      if (mrc_bytes_signed(head))
        for (size_t i = 0; i < count; ++i) out[i] = static_cast<signed char>(raw[i]);
      else
        for (size_t i = 0; i < count; ++i) out[i] = raw[i];
      break;
    case MRC_MODE_SHORT:
      for (size_t i = 0; i < count; ++i) {
        int16_t v;
        memcpy(&v, raw + 2 * i, 2);
        out[i] = v;
      }
      break;
    case MRC_MODE_HALF:
      for (size_t i = 0; i < count; ++i) {
        uint16_t v;
        memcpy(&v, raw + 2 * i, 2);
        out[i] = float_from_half(v);
      }
      break;
    default:  // MRC_MODE_USHORT
      for (size_t i = 0; i < count; ++i) {
        uint16_t v;
        memcpy(&v, raw + 2 * i, 2);
        out[i] = v;
      }
  }
}

}  // namespace

size_t mrc_read_elements(FILE* file, const MRC_HEAD* head, size_t count, float* out) {
  if (!mrc_mode_readable(head->mode)) return 0;
  const bool swap = mrc_head_big_endian(head);
  if (head->mode == MRC_MODE_FLOAT) {
    const size_t got = fread(out, sizeof(float), count, file);
    if (swap) mrc_swap_elements(out, sizeof(float), got);
    return got;
  }
  const size_t element_size = mrc_element_size(head->mode);
  const size_t chunk = 8192;
  unsigned char raw[chunk * 2];
  size_t done = 0;
  while (done < count) {
    const size_t want = count - done < chunk ? count - done : chunk;
    const size_t got = fread(raw, element_size, want, file);
    if (swap) mrc_swap_elements(raw, element_size, got);
    convert_to_float(raw, head, got, out + done);
    done += got;
    if (got < want) break;
  }
  return done;
}

size_t mrc_read_elements_at(FILE* file, const MRC_HEAD* head, int64_t first, size_t count, float* out) {
  const int64_t offset = mrc_data_offset(head) + first * int64_t(mrc_element_size(head->mode));
  if (fseek(file, long(offset), SEEK_SET) != 0) return 0;
  return mrc_read_elements(file, head, count, out);
}

int mrc_report_short_read(float* out, size_t filled, size_t count, const char* function, int line) {
  memset(out + filled, 0, (count - filled) * sizeof(float));
  quib_warning(function, "mrc", line, "Reading file failed!\n");
  return -1;
}

namespace {

// Reads the runs of elements that make up one plane, in the order of the output. Returns how
// many output values were filled before a read came up short (all of them on success).
size_t read_plane(FILE* file, const MRC_HEAD* head, int64_t n, char axis, float* out) {
  const int64_t nx = head->nx, ny = head->ny, nz = head->nz;
  if (axis == 'z') return mrc_read_elements_at(file, head, n * nx * ny, nx * ny, out);
  // 'y': row n of every section; 'x': the value at column n of every row of every section.
  const int64_t runs_per_section = axis == 'y' ? 1 : ny;
  const size_t run = axis == 'y' ? nx : 1;
  size_t filled = 0;
  for (int64_t z = 0; z < nz; ++z)
    for (int64_t r = 0; r < runs_per_section; ++r) {
      const int64_t first = axis == 'y' ? (z * ny + n) * nx : (z * ny + r) * nx + n;
      const size_t got = mrc_read_elements_at(file, head, first, run, out + filled);
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
    snprintf(text, sizeof text, "Plane %d along %c is outside the MRC data (0 to %d)", n, axis, planes - 1);
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
  const size_t filled = mrc_read_elements_at(file, head, 0, count, out);
  return filled == count ? 0 : MRC_REPORT_SHORT_READ(out, filled, count);
}

namespace {

void require_float_mode(const MRC_HEAD* head) {
  if (head->mode != MRC_MODE_FLOAT) mrc_stop("File Mode must be MRC_MODE_FLOAT!Exit now!");
}

// Whether [start, start + length) lies within [0, size) and is not empty.
bool within(int start, int length, int size) { return start >= 0 && length > 0 && int64_t(start) + length <= size; }

}  // namespace

int mrc_read_sub_area(FILE* file, const MRC_HEAD* head, float* out, int x0, int y0, int z0, int dx, int dy, int dz) {
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
      const size_t got = mrc_read_elements_at(file, head, (z * ny + y) * nx + x0, dx, out + filled);
      filled += got;
      if (got < size_t(dx)) return MRC_REPORT_SHORT_READ(out, filled, count);
    }
  return 0;
}

int mrc_2d_read_sub_area(FILE* file, const MRC_HEAD* head, float* out, int x0, int y0, int dx, int dy) {
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
      const size_t got = mrc_read_elements_at(file, head, image_row * head->nx, row.size(), row.data());
      if (got < row.size()) return MRC_REPORT_SHORT_READ(out, 0, across * down * box_values);
      for (size_t i = 0; i < across; ++i)
        memcpy(out + (j * across + i) * box_values + y * box, row.data() + i * step, box * sizeof(float));
    }
  return 0;
}

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
    {"x", true, false, false}, {"y", false, true, false}, {"z", false, false, true}, {"xy", true, true, false},
    {"yx", true, true, false}, {"xz", true, false, true}, {"zx", true, false, true}, {"yz", false, true, true},
    {"zy", false, true, true}, {"xyz", true, true, true},
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
  if (mrc_read_slice(file.get(), &head, n, 'z', data.get()) != 0) fail_reading(path, __func__, __LINE__);
  return data;
}

int mrcf_read_all(const char* path, float* out) {
  FilePtr file = MRC_OPEN_READ(path, "r");
  MRC_HEAD head;
  if (mrc_read_head(file.get(), &head) != 0) return -1;
  return mrc_read_all(file.get(), &head, out);
}

int mrcf_read_sub_area(const char* path, float* out, int x0, int y0, int z0, int dx, int dy, int dz) {
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
    printf("Error in function %s(), file %s on line %d: unrecognized dimension keywords %s !\n", __func__, "mrc",
           __LINE__, keyword);
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
