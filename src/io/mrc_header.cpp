#include "io/mrc_header.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "core/report.h"
#include "io/mrc_byte_order.h"
#include "stats/host_stats.h"

size_t mrc_element_size(int mode) {
  switch (mode) {
    case MRC_MODE_BYTE:
      return 1;
    case MRC_MODE_SHORT:
    case MRC_MODE_USHORT:
    case MRC_MODE_HALF:
      return 2;
    case MRC_MODE_FLOAT:
    case MRC_MODE_SHORT_COMPLEX:
      return 4;
    case MRC_MODE_FLOAT_COMPLEX:
    case 20:
    case 21:
    case 22:
      return 8;
    default:
      return 0;
  }
}

bool mrc_mode_readable(int mode) {
  return mode == MRC_MODE_BYTE || mode == MRC_MODE_SHORT || mode == MRC_MODE_FLOAT || mode == MRC_MODE_USHORT ||
         mode == MRC_MODE_HALF;
}

const char* mrc_mode_name(int mode) {
  switch (mode) {
    case MRC_MODE_BYTE:
      return "Byte";
    case MRC_MODE_SHORT:
      return "Short";
    case MRC_MODE_FLOAT:
      return "Float";
    case MRC_MODE_SHORT_COMPLEX:
      return "Complex Short";
    case MRC_MODE_FLOAT_COMPLEX:
      return "Complex Float";
    case MRC_MODE_USHORT:
      return "Unsigned Short";
    case MRC_MODE_HALF:
      return "Float16";
    case 16:
      return "RGB";
    case 20:
      return "Complex Float (Real, Imag)";
    case 21:
      return "Complex Float (Amp, Rad)";
    case 22:
      return "Complex Float (Amp, Deg)";
    default:
      return "Unknown";
  }
}

void mrc_delete_head(MRC_HEAD* head) { delete head; }

MrcHeadPtr mrc_new_head() {
  MrcHeadPtr head(new MRC_HEAD);
  mrc_init_head(head.get());
  return head;
}

int mrc_init_head(MRC_HEAD* head) {
  memset(head, 0, sizeof(MRC_HEAD));
  head->nx = head->ny = head->nz = 1;
  head->mode = MRC_MODE_FLOAT;
  head->mx = head->my = head->mz = 1;
  head->xlen = head->ylen = head->zlen = 1.0f;
  head->alpha = head->beta = head->gamma = 90.0f;
  head->mapc = 1;
  head->mapr = 2;
  head->maps = 3;
  head->dmin = 0.0f;
  head->dmax = 255.0f;
  head->dmean = 128.0f;
  head->ispg = 1;
  head->creatid = 1000;
  return mrc_set_head_stmp(head);
}

int mrc_set_head_stmp(MRC_HEAD* head) {
  memcpy(head->map, "MAP ", 4);
  const unsigned char machine[4] = {'D', 'A', 0, 0};
  memcpy(head->machst, machine, 4);
  return 0;
}

void mrc_set_head_plain_layout(MRC_HEAD* head) {
  head->next = 0;
  mrc_set_head_stmp(head);
}

bool mrc_head_is_stamped(const MRC_HEAD* head) { return memcmp(head->map, "MAP", 3) == 0; }

int mrc_check_head(const MRC_HEAD* head) {
  if (mrc_head_is_stamped(head)) return 0;
  printf("Warning: in function 'mrc_check_head()'! Not a valid mrc file head!\n");
  return -1;
}

int mrc_set_head_xyz(MRC_HEAD* head, int nx, int ny, int nz) {
  head->nx = nx;
  head->ny = ny;
  head->nz = nz;
  return 0;
}

int mrc_set_head_mode(MRC_HEAD* head, int mode) {
  head->mode = mode;
  return 0;
}

void mrc_set_head_pixel_size(MRC_HEAD* head, float apix) {
  head->mx = head->nx;
  head->my = head->ny;
  head->mz = head->nz;
  head->xlen = head->nx * apix;
  head->ylen = head->ny * apix;
  head->zlen = head->nz * apix;
}

int mrc_set_head_xyz_mode(MRC_HEAD* head, int nx, int ny, int nz, int mode) {
  mrc_set_head_xyz(head, nx, ny, nz);
  return mrc_set_head_mode(head, mode);
}

int mrc_set_head_xyz_mmm(MRC_HEAD* head, int nx, int ny, int nz, float min, float max, float mean) {
  mrc_set_head_xyz(head, nx, ny, nz);
  if (min > max) std::swap(min, max);
  head->dmin = min;
  head->dmax = max;
  head->dmean = mean;
  return 0;
}

int mrc_set_head_mmm_from_data(MRC_HEAD* head, const float* data, size_t n) {
  return max_min_mean_value(data, n, head->dmax, head->dmin, head->dmean);
}

const char* mrc_get_head_mode(const MRC_HEAD* head) { return mrc_mode_name(head->mode); }

bool mrc_bytes_signed(const MRC_HEAD* head) {
  return head->imod_stamp != MRC_IMOD_STAMP || (head->imod_flags & 1) != 0;
}

int64_t mrc_data_offset(const MRC_HEAD* head) { return MRC_HEAD_BYTES + int64_t(head->next); }

int64_t mrc_described_file_bytes(const MRC_HEAD* head) {
  const size_t element_size = mrc_element_size(head->mode);
  if (element_size == 0 || head->nx < 0 || head->ny < 0 || head->nz < 0 || head->next < 0) return -1;
  int64_t bytes = 0;
  if (__builtin_mul_overflow(int64_t(head->nx), int64_t(head->ny), &bytes) ||
      __builtin_mul_overflow(bytes, int64_t(head->nz), &bytes) ||
      __builtin_mul_overflow(bytes, int64_t(element_size), &bytes) ||
      __builtin_add_overflow(bytes, mrc_data_offset(head), &bytes))
    return -1;
  return bytes;
}

size_t mrc_section_voxels(const MRC_HEAD* head) {
  if (head->nx <= 0 || head->ny <= 0) return 0;
  return static_cast<size_t>(head->nx) * static_cast<size_t>(head->ny);
}

size_t mrc_voxels(const MRC_HEAD* head) {
  if (head->nz <= 0) return 0;
  return mrc_section_voxels(head) * static_cast<size_t>(head->nz);
}

int mrc_check_even_size(const MRC_HEAD* head) { return (head->nx % 2 || head->ny % 2) ? -1 : 0; }

bool is_mrc_square(const MRC_HEAD* head) { return head->nx == head->ny; }

bool is_mrc_cube(const MRC_HEAD* head) { return head->nx == head->ny && head->ny == head->nz; }

FilePtr mrc_open_read(const char* path, const char* mode, const char* function, int line) {
  FilePtr file(fopen(path, mode));
  if (!file) quib_fatal_cannot_read(path, function, "mrc", line);
  return file;
}

FilePtr mrc_open_write(const char* path, const char* mode, const char* function, int line) {
  FilePtr file(fopen(path, mode));
  if (!file) quib_fatal_cannot_write(path, function, "mrc", line);
  return file;
}

int mrc_close(FilePtr& file) {
  if (!file) return 0;
  const bool write_failed = ferror(file.get()) != 0;
  return fclose(file.release()) != 0 || write_failed ? -1 : 0;
}

void mrc_close_written(FilePtr& file, const char* path, const char* function, int line) {
  if (mrc_close(file) != 0) quib_fatal_cannot_write(path, function, "mrc", line);
}

int mrc_read_head_unstamped(FILE* file, MRC_HEAD* head) {
  MRC_HEAD read;
  if (fseek(file, 0, SEEK_SET) != 0 || fread(&read, sizeof read, 1, file) != 1) return -1;
  if (fseek(file, 0, SEEK_END) != 0) return -1;
  const long file_size = ftell(file);
  if (fseek(file, MRC_HEAD_BYTES, SEEK_SET) != 0) return -1;
  mrc_head_to_machine_order(&read, file_size);
  *head = read;
  return 0;
}

int mrc_read_head(FILE* file, MRC_HEAD* head) {
  if (mrc_read_head_unstamped(file, head) != 0) {
    QUIB_WARNING("mrc", "The file is shorter than an MRC header");
    return -1;
  }
  if (!mrc_head_is_stamped(head)) memcpy(head->map, "MAP ", 4);
  return 0;
}

int mrc_write_head(FILE* file, const MRC_HEAD* head) {
  if (!mrc_head_is_stamped(head)) QUIB_WARNING("mrc", "MRC format problem! Check file format!\n");
  const MRC_HEAD in_file = mrc_head_in_file_order(head);
  if (fseek(file, 0, SEEK_SET) != 0 || fwrite(&in_file, sizeof in_file, 1, file) != 1) {
    QUIB_WARNING("mrc", "Writing the MRC header failed");
    return -1;
  }
  return 0;
}
