#include "io/mrc_head_io.h"

#include "core/report.h"

int mrc_read_head_unstamped(FILE* file, MRC_HEAD* head) {
  MRC_HEAD read;
  if (fseek(file, 0, SEEK_SET) != 0 || fread(&read, sizeof read, 1, file) != 1) return -1;
  *head = read;
  return 0;
}

int mrc_read_head(FILE* file, MRC_HEAD* head) {
  if (mrc_read_head_unstamped(file, head) != 0) {
    QUIB_WARNING("mrc", "The file is shorter than an MRC header");
    return -1;
  }
  if (!mrc_head_is_stamped(head)) mrc_set_head_stmp(head);
  return 0;
}

int mrc_write_head(FILE* file, const MRC_HEAD* head) {
  if (!mrc_head_is_stamped(head)) QUIB_WARNING("mrc", "MRC format problem! Check file format!\n");
  if (fseek(file, 0, SEEK_SET) != 0 || fwrite(head, sizeof(MRC_HEAD), 1, file) != 1) {
    QUIB_WARNING("mrc", "Writing the MRC header failed");
    return -1;
  }
  return 0;
}
