#include "io/mrc_check.h"

#include <cstdlib>

#include "core/report.h"
#include "io/mrc_header.h"

long get_file_size(FILE* file) {
  if (fseek(file, 0, SEEK_END) != 0) return -1;
  return ftell(file);
}

int mrc_check_fsize(FILE* file, const MRC_HEAD* head) {
  const size_t element_size = mrc_element_size(head->mode);
  if (element_size == 0) {
    QUIB_WARNING("mrc", "File type unknown!");
    return -1;
  }
  const long file_size = get_file_size(file);
  if (mrc_described_file_bytes(head) == int64_t(file_size)) return 0;
  const unsigned long long data_bytes = mrc_voxels(head) * element_size;  // wraps only for absurd sizes
  printf("File size %ld  %d xyz %llu", file_size, int(element_size), data_bytes);
  if (head->next != 0) printf(" extended header %d", head->next);
  QUIB_WARNING("mrc", "File size error!");
  return -1;
}

int mrc_check_head_sizes(const MRC_HEAD* head) {
  char text[256];
  const int64_t section = int64_t(head->nx) * head->ny;
  if (head->nx <= 0 || head->ny <= 0 || head->nz <= 0) {
    snprintf(text, sizeof text, "MRC sizes must be positive, but nx is %d, ny %d and nz %d", head->nx, head->ny,
             head->nz);
  } else if (section >= MRC_SECTION_VOXELS_LIMIT) {
    snprintf(text, sizeof text, "An MRC section of %d x %d pixels is too large (2^31 or more)", head->nx, head->ny);
  } else if (section * head->nz > MRC_MAX_VOXELS) {
    snprintf(text, sizeof text, "MRC data of %d x %d x %d values exceed the limit of %lld values", head->nx, head->ny,
             head->nz, static_cast<long long>(MRC_MAX_VOXELS));
  } else if (head->next < 0) {
    snprintf(text, sizeof text, "The MRC extended header size is negative (%d bytes); the file is damaged", head->next);
  } else if (!mrc_mode_readable(head->mode)) {
    snprintf(text, sizeof text, "MRC mode %d (%s) cannot be read; modes 0, 1, 2, 6 and 12 can", head->mode,
             mrc_mode_name(head->mode));
  } else {
    return 0;
  }
  QUIB_WARNING("mrc", text);
  return -1;
}

int mrc_check_head_data(FILE* file, const MRC_HEAD* head) {
  if (mrc_check_head_sizes(head) != 0) return -1;
  const long position = ftell(file);
  const long file_size = get_file_size(file);
  if (position >= 0) fseek(file, position, SEEK_SET);
  const int64_t described = mrc_described_file_bytes(head);
  // Bytes after the data (padding some writers add) are allowed, as they always were.
  if (described >= 0 && int64_t(file_size) >= described) return 0;
  char text[256];
  int length = snprintf(text, sizeof text, "The MRC file holds %ld bytes, but its header describes %lld", file_size,
                        static_cast<long long>(described));
  if (head->next > 0)
    snprintf(text + length, sizeof text - length, " (with an extended header of %d bytes)", head->next);
  QUIB_WARNING("mrc", text);
  return -1;
}

bool mrc_same_shape(const MRC_HEAD* a, const MRC_HEAD* b) {
  return a->nx == b->nx && a->ny == b->ny && a->nz == b->nz && a->mode == b->mode;
}

std::string mrc_head_shape(const MRC_HEAD* head) {
  return std::to_string(head->nx) + " x " + std::to_string(head->ny) + " x " + std::to_string(head->nz) + " in mode " +
         std::to_string(head->mode) + " (" + mrc_get_head_mode(head) + ")";
}

void mrc_stop(const char* text) {
  printf("%s\n", text);
  fflush(stdout);
  exit(1);
}
