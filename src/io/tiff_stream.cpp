#include "io/tiff_stream.h"

#include <sys/types.h>

#include <cstdarg>
#include <cstring>

namespace {

// libtiff's I/O on a stdio stream that the caller owns.
tmsize_t read_stream(thandle_t handle, void* buffer, tmsize_t size) {
  return static_cast<tmsize_t>(fread(buffer, 1, static_cast<size_t>(size), static_cast<FILE*>(handle)));
}

tmsize_t refuse_write(thandle_t, void*, tmsize_t) { return -1; }

toff_t seek_stream(thandle_t handle, toff_t offset, int whence) {
  FILE* file = static_cast<FILE*>(handle);
  if (offset > static_cast<toff_t>(INT64_MAX) || fseeko(file, static_cast<off_t>(offset), whence) != 0)
    return static_cast<toff_t>(-1);
  return static_cast<toff_t>(ftello(file));
}

int keep_stream(thandle_t) { return 0; }

toff_t stream_size(thandle_t handle) {
  FILE* file = static_cast<FILE*>(handle);
  const off_t position = ftello(file);
  if (fseeko(file, 0, SEEK_END) != 0) return 0;
  const off_t size = ftello(file);
  fseeko(file, position, SEEK_SET);
  return size < 0 ? 0 : static_cast<toff_t>(size);
}

int no_mapping(thandle_t, void**, toff_t*) { return 0; }
void no_unmapping(thandle_t, void*, toff_t) {}

// The name libtiff knows the file by. Messages often start with it, or give it as their module;
// it is left out of the text kept (the caller's message names the file).
constexpr char kFileName[] = "file";

std::string without_file_name(const char* text) {
  const size_t length = strlen(kFileName);
  const bool named = strncmp(text, kFileName, length) == 0 && strncmp(text + length, ": ", 2) == 0;
  return named ? text + length + 2 : text;
}

int keep_first_error(TIFF*, void* user_data, const char* module, const char* format, va_list arguments) {
  std::string& error = *static_cast<std::string*>(user_data);
  if (error.empty()) {
    char text[512];
    vsnprintf(text, sizeof text, format, arguments);
    const bool named = module && *module && strcmp(module, kFileName) != 0;
    error = (named ? std::string(module) + ": " : std::string()) + without_file_name(text);
  }
  return 1;  // handled: libtiff calls no other handler
}

int drop_warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Messages libtiff reports before a file has its own handlers (or about no file) would go to
// stderr: silenced once for the whole program.
void silence_global_handlers() {
  static const bool silenced = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)silenced;
}

// libtiff's own allocations (compressed strips, tables) are held below this size, so that a
// damaged directory cannot ask for an absurd amount of memory.
constexpr tmsize_t kLargestAllocation = tmsize_t(1) << 30;

}  // namespace

bool is_tiff_stream(FILE* file) {
  unsigned char magic[4] = {0, 0, 0, 0};
  const bool read = fseek(file, 0, SEEK_SET) == 0 && fread(magic, 1, 4, file) == 4;
  fseek(file, 0, SEEK_SET);
  if (!read) return false;
  const bool little = magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) && magic[3] == 0;
  const bool big = magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && (magic[3] == 42 || magic[3] == 43);
  return little || big;
}

TiffStream::TiffStream(FILE* file) {
  silence_global_handlers();
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) {
    error_ = "libtiff could not allocate its options";
    return;
  }
  TIFFOpenOptionsSetErrorHandlerExtR(options, keep_first_error, &error_);
  TIFFOpenOptionsSetWarningHandlerExtR(options, drop_warning, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kLargestAllocation);
  if (fseek(file, 0, SEEK_SET) == 0)
    tiff_ = TIFFClientOpenExt(kFileName, "rm", file, read_stream, refuse_write, seek_stream, keep_stream, stream_size,
                              no_mapping, no_unmapping, options);
  TIFFOpenOptionsFree(options);
  if (!tiff_ && error_.empty()) error_ = "libtiff could not open it";
}

TiffStream::~TiffStream() {
  if (tiff_) TIFFClose(tiff_);
}
