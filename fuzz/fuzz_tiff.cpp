// Feeds arbitrary bytes, as a file in memory, to the TIFF path of the micrograph reader: the format
// check, the header (every directory) and, when the header is accepted and small, every page. The
// first byte chooses how the rest becomes a file: as it is, or written by libtiff itself from
// sizes, sample type, compression, predictor, strips or tiles and byte order taken from the input,
// with the rest of the input as the samples. A written file must read back as exactly those
// samples. Memory stays bounded: pages are read only for headers of few values, and libtiff's own
// allocations are capped by the reader.
#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_ptr.h"
#include "io/half_float.h"
#include "io/micrograph_file.h"
#include "io/tiff_read.h"

namespace {

constexpr size_t kMostValues = size_t(1) << 20;

// Header and pixels of the bytes as a file; the values when both were read, else nothing.
std::vector<float> read_everything(std::vector<uint8_t>& bytes, MRC_HEAD& head) {
  if (bytes.empty()) return {};
  const FilePtr file(fmemopen(bytes.data(), bytes.size(), "r"));
  if (!file || micrograph_format(file.get()) != MicrographFormat::kTiff) return {};
  if (!micrograph_read_head(file.get(), &head).empty() || mrc_voxels(&head) > kMostValues) return {};
  std::vector<float> values(mrc_voxels(&head));
  std::string why;
  if (!micrograph_read_all(file.get(), &head, values.data(), why)) {
    if (why.empty()) abort();  // a TIFF failure always says why
    return {};
  }
  return values;
}

// A growing file in memory for libtiff to write.
struct MemoryFile {
  std::vector<uint8_t> bytes;
  size_t position = 0;
};

tmsize_t memory_read(thandle_t h, void* buffer, tmsize_t size) {
  MemoryFile& m = *static_cast<MemoryFile*>(h);
  const size_t count = m.position >= m.bytes.size() ? 0 : std::min(size_t(size), m.bytes.size() - m.position);
  if (count) memcpy(buffer, m.bytes.data() + m.position, count);
  m.position += count;
  return tmsize_t(count);
}

tmsize_t memory_write(thandle_t h, void* buffer, tmsize_t size) {
  MemoryFile& m = *static_cast<MemoryFile*>(h);
  if (m.position + size_t(size) > m.bytes.size()) m.bytes.resize(m.position + size_t(size));
  memcpy(m.bytes.data() + m.position, buffer, size_t(size));
  m.position += size_t(size);
  return size;
}

toff_t memory_seek(thandle_t h, toff_t offset, int whence) {
  MemoryFile& m = *static_cast<MemoryFile*>(h);
  const size_t base = whence == SEEK_CUR ? m.position : whence == SEEK_END ? m.bytes.size() : 0;
  m.position = base + size_t(offset);
  return toff_t(m.position);
}

int memory_close(thandle_t) { return 0; }
toff_t memory_size(thandle_t h) { return toff_t(static_cast<MemoryFile*>(h)->bytes.size()); }
int memory_map(thandle_t, void**, toff_t*) { return 0; }
void memory_unmap(thandle_t, void*, toff_t) {}

struct SampleType {
  uint16_t bits, format;
};
constexpr SampleType kTypes[] = {{8, SAMPLEFORMAT_UINT}, {8, SAMPLEFORMAT_INT},     {16, SAMPLEFORMAT_UINT},
                                 {16, SAMPLEFORMAT_INT}, {16, SAMPLEFORMAT_IEEEFP}, {32, SAMPLEFORMAT_UINT},
                                 {32, SAMPLEFORMAT_INT}, {32, SAMPLEFORMAT_IEEEFP}};
constexpr uint16_t kCompressions[] = {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE};

float sample_value(const uint8_t* raw, const SampleType& t) {
  uint8_t b[4] = {0, 0, 0, 0};
  memcpy(b, raw, t.bits / 8);
  uint16_t u16;
  uint32_t u32;
  memcpy(&u16, b, 2);
  memcpy(&u32, b, 4);
  if (t.bits == 8) return t.format == SAMPLEFORMAT_INT ? float(int8_t(b[0])) : float(b[0]);
  if (t.bits == 16)
    return t.format == SAMPLEFORMAT_IEEEFP ? float_from_half(u16)
           : t.format == SAMPLEFORMAT_INT  ? float(int16_t(u16))
                                           : float(u16);
  if (t.format == SAMPLEFORMAT_IEEEFP) {
    float f;
    memcpy(&f, b, 4);
    return f;
  }
  return t.format == SAMPLEFORMAT_INT ? float(int32_t(u32)) : float(u32);
}

// Writes a TIFF of the input's choosing and demands its samples back.
void fuzz_written_file(const uint8_t* data, size_t size) {
  if (size < 8) return;
  const uint32_t nx = 1 + data[0] % 48, ny = 1 + data[1] % 48, nz = 1 + data[2] % 3;
  const SampleType type = kTypes[data[3] % 8];
  const uint16_t compression = kCompressions[data[4] % 3];
  const bool predictor = (data[4] & 4) && type.format != SAMPLEFORMAT_IEEEFP;
  const bool tiled = data[5] & 1;
  const char* mode = data[5] & 2 ? "wb" : "wl";
  const uint32_t rows_per_strip = 1 + data[6] % 8;
  const uint8_t* fill = data + 7;
  const size_t fill_size = size - 7;

  const size_t sample = type.bits / 8, page_bytes = size_t(nx) * ny * sample;
  std::vector<uint8_t> samples(page_bytes * nz);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = fill[i % fill_size];

  MemoryFile memory;
  TIFF* tiff = TIFFClientOpen("written", mode, &memory, memory_read, memory_write, memory_seek, memory_close,
                              memory_size, memory_map, memory_unmap);
  if (!tiff) abort();
  for (uint32_t z = 0; z < nz; ++z) {
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, nx);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, ny);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, type.bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, type.format);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    if (predictor) TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    const uint8_t* page = samples.data() + z * page_bytes;
    if (tiled) {
      TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
      TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
      std::vector<uint8_t> tile(16 * 16 * sample);
      for (uint32_t y = 0; y < ny; y += 16)
        for (uint32_t x = 0; x < nx; x += 16) {
          std::fill(tile.begin(), tile.end(), 0);
          for (uint32_t r = 0; r < 16 && y + r < ny; ++r)
            memcpy(tile.data() + r * 16 * sample, page + (size_t(y + r) * nx + x) * sample,
                   std::min<uint32_t>(16, nx - x) * sample);
          if (TIFFWriteEncodedTile(tiff, TIFFComputeTile(tiff, x, y, 0, 0), tile.data(), tmsize_t(tile.size())) < 0)
            abort();
        }
    } else {
      TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows_per_strip);
      for (uint32_t row = 0, strip = 0; row < ny; row += rows_per_strip, ++strip) {
        std::vector<uint8_t> copy(page + row * nx * sample,
                                  page + std::min(ny, row + rows_per_strip) * size_t(nx) * sample);
        if (TIFFWriteEncodedStrip(tiff, strip, copy.data(), tmsize_t(copy.size())) < 0) abort();
      }
    }
    if (!TIFFWriteDirectory(tiff)) abort();
  }
  TIFFClose(tiff);

  MRC_HEAD head;
  const std::vector<float> values = read_everything(memory.bytes, head);
  if (head.nx != int(nx) || head.ny != int(ny) || head.nz != int(nz) || values.size() != size_t(nx) * ny * nz) abort();
  for (size_t i = 0; i < values.size(); ++i) {
    const float expected = sample_value(samples.data() + i * sample, type);
    if (memcmp(&values[i], &expected, sizeof expected) != 0) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  if (data[0] & 1) {
    fuzz_written_file(data + 1, size - 1);
    return 0;
  }
  std::vector<uint8_t> bytes(data + 1, data + size);
  MRC_HEAD head;
  read_everything(bytes, head);
  return 0;
}
