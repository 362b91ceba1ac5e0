#include "io/micrograph_file.h"

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
