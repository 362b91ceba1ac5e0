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
    snprintf(text, sizeof text, "MRC mode %d (%s) cannot be read; modes 0, 1, 2 and 6 can", head->mode,
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
  if (int64_t(file_size) == described) return 0;
  char text[256];
  int length = snprintf(text, sizeof text, "The MRC file holds %ld bytes, but its header describes %lld", file_size,
                        static_cast<long long>(described));
  if (head->next > 0)
    snprintf(text + length, sizeof text - length, " (with an extended header of %d bytes)", head->next);
  QUIB_WARNING("mrc", text);
  return -1;
}

int check_mrc_head_sizes_two(const char* name1, const char* name2, const MRC_HEAD* head1, const MRC_HEAD* head2) {
  if (head1->nx == head2->nx && head1->ny == head2->ny && head1->nz == head2->nz && head1->mode == head2->mode)
    return 0;
  printf(
      "Micrograph \033[1m%s\033[m has a different size or format from  \033[1m%s\033[m.\n"
      "Check if all the micrographs are the same sizes and format? \n",
      name1, name2);
  printf(
      "One run of quib processes one dataset, and all its micrographs must share the same\n"
      "sizes (Nx, Ny, Nz) and the same data format (MRC mode). If your dataset mixes sizes or\n"
      "formats, split it into groups of equal size and format and process each group in a\n"
      "separate run.\n");
  printf("      Nx      Ny      Nz      Mode             File:\n");
  const char* names[2] = {name1, name2};
  const MRC_HEAD* heads[2] = {head1, head2};
  for (int i = 0; i < 2; ++i)
    printf("      %-8d%-8d%-8d%-18s  %s\n", heads[i]->nx, heads[i]->ny, heads[i]->nz, mrc_get_head_mode(heads[i]),
           names[i]);
  fflush(stdout);
  exit(1);
}

void mrc_stop(const char* text) {
  printf("%s\n", text);
  fflush(stdout);
  exit(1);
}
