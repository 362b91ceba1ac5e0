#include "io/micrograph_file.h"

#include "io/mrc_byte_order.h"
#include "io/mrc_check.h"
#include "io/mrc_read.h"
#include "io/tiff_read.h"
#include "io/tiff_stream.h"

MicrographFormat micrograph_format(FILE* file) {
  return is_tiff_stream(file) ? MicrographFormat::kTiff : MicrographFormat::kMrc;
}

const char* micrograph_format_name(MicrographFormat format) {
  return format == MicrographFormat::kTiff ? "TIFF" : "MRC";
}

std::string micrograph_read_head(FILE* file, MRC_HEAD* head) {
  if (micrograph_format(file) == MicrographFormat::kTiff) return tiff_read_head(file, head);
  if (mrc_read_head(file, head) == 0 && mrc_check_head_data(file, head) == 0) return "";
  return "truncated, damaged or of an unsupported kind";
}

bool micrograph_read_all(FILE* file, const MRC_HEAD* head, float* out, std::string& why) {
  why.clear();
  if (micrograph_format(file) == MicrographFormat::kTiff) {
    why = tiff_read_all(file, head, out);
    return why.empty();
  }
  return mrc_read_all_nocheck(file, head, out) == 0;
}

bool micrograph_short_of_its_header(FILE* file) {
  if (micrograph_format(file) == MicrographFormat::kTiff) return false;
  const long size = get_file_size(file);
  MRC_HEAD head;
  if (size < static_cast<long>(sizeof head)) return true;
  rewind(file);
  if (fread(&head, sizeof head, 1, file) != 1) return true;
  mrc_head_to_machine_order(&head, size);
  return mrc_described_file_bytes(&head) > int64_t(size);
}
