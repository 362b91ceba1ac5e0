#include "io/mrc_elements.h"

#include <cstring>

#include "core/report.h"
#include "io/mrc_head.h"
#include "io/mrc_mode.h"

namespace {

// Modes 0, 1 and 6; mode-2 data are read straight into the output.
void convert_to_float(const unsigned char* raw, int mode, size_t count, float* out) {
  for (size_t i = 0; i < count; ++i) {
    switch (mode) {
      case MRC_MODE_BYTE:
        out[i] = raw[i];
        break;
      case MRC_MODE_SHORT: {
        int16_t v;
        memcpy(&v, raw + 2 * i, 2);
        out[i] = v;
        break;
      }
      default: {  // MRC_MODE_USHORT
        uint16_t v;
        memcpy(&v, raw + 2 * i, 2);
        out[i] = v;
      }
    }
  }
}

}  // namespace

size_t mrc_read_elements(FILE* file, int mode, size_t count, float* out) {
  if (!mrc_mode_readable(mode)) return 0;
  if (mode == MRC_MODE_FLOAT) return fread(out, sizeof(float), count, file);
  const size_t element_size = mrc_element_size(mode);
  const size_t chunk = 8192;
  unsigned char raw[chunk * 2];
  size_t done = 0;
  while (done < count) {
    const size_t want = count - done < chunk ? count - done : chunk;
    const size_t got = fread(raw, element_size, want, file);
    convert_to_float(raw, mode, got, out + done);
    done += got;
    if (got < want) break;
  }
  return done;
}

size_t mrc_read_elements_at(FILE* file, int mode, int64_t first, size_t count, float* out) {
  const int64_t offset = MRC_HEAD_BYTES + first * int64_t(mrc_element_size(mode));
  if (fseek(file, long(offset), SEEK_SET) != 0) return 0;
  return mrc_read_elements(file, mode, count, out);
}

int mrc_report_short_read(float* out, size_t filled, size_t count, const char* function, int line) {
  memset(out + filled, 0, (count - filled) * sizeof(float));
  quib_warning(function, "mrc", line, "Reading file failed!\n");
  return -1;
}
