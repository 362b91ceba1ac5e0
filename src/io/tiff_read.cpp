#include "io/tiff_read.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "io/half_float.h"
#include "io/mrc_check.h"
#include "io/tiff_page.h"
#include "io/tiff_stream.h"

namespace {

// Ours, followed by libtiff's text when it gave one.
std::string failure(const TiffStream& tiff, const std::string& ours) {
  return tiff.error().empty() ? ours : ours + ": " + tiff.error();
}

std::string read_strips(const TiffStream& tiff, const TiffPageFormat& f, unsigned char* page) {
  const size_t row_bytes = size_t(f.width) * tiff_sample_bytes(f);
  uint32_t rows_per_strip = 0;
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
  if (rows_per_strip == 0 || rows_per_strip > f.length) rows_per_strip = f.length;
  const uint32_t strips = (f.length - 1) / rows_per_strip + 1;
  if (TIFFNumberOfStrips(tiff.get()) < strips) return "its strips do not cover all rows of a page";
  for (uint32_t s = 0; s < strips; ++s) {
    const uint32_t first_row = s * rows_per_strip;
    const tmsize_t bytes = tmsize_t(std::min(rows_per_strip, f.length - first_row) * row_bytes);
    if (TIFFReadEncodedStrip(tiff.get(), s, page + first_row * row_bytes, bytes) != bytes)
      return failure(tiff, "strip " + std::to_string(s) + " could not be decoded");
  }
  return "";
}

std::string read_tiles(const TiffStream& tiff, const TiffPageFormat& f, unsigned char* page) {
  uint32_t tile_width = 0, tile_length = 0;
  TIFFGetField(tiff.get(), TIFFTAG_TILEWIDTH, &tile_width);
  TIFFGetField(tiff.get(), TIFFTAG_TILELENGTH, &tile_length);
  const size_t sample = tiff_sample_bytes(f);
  const tmsize_t tile_bytes = tmsize_t(tile_width) * tile_length * tmsize_t(sample);
  // Tile sides are multiples of 16, so no tile needs to reach further past the page than that.
  if (tile_width == 0 || tile_length == 0 || tile_width > f.width + 15 || tile_length > f.length + 15 ||
      TIFFTileSize(tiff.get()) != tile_bytes)
    return "its tiles of " + std::to_string(tile_width) + " x " + std::to_string(tile_length) +
           " pixels do not fit its pages";
  std::vector<unsigned char> tile(tile_bytes);
  for (uint32_t y = 0; y < f.length; y += tile_length)
    for (uint32_t x = 0; x < f.width; x += tile_width) {
      const uint32_t index = TIFFComputeTile(tiff.get(), x, y, 0, 0);
      if (TIFFReadEncodedTile(tiff.get(), index, tile.data(), tile_bytes) != tile_bytes)
        return failure(tiff, "tile " + std::to_string(index) + " could not be decoded");
      const uint32_t rows = std::min(tile_length, f.length - y), columns = std::min(tile_width, f.width - x);
      for (uint32_t r = 0; r < rows; ++r)
        memcpy(page + ((size_t(y) + r) * f.width + x) * sample, tile.data() + size_t(r) * tile_width * sample,
               size_t(columns) * sample);
    }
  return "";
}

template <class Sample>
void widen(const unsigned char* raw, size_t count, float* out) {
  for (size_t i = 0; i < count; ++i) {
    Sample value;
    memcpy(&value, raw + i * sizeof(Sample), sizeof(Sample));
    out[i] = static_cast<float>(value);
  }
}

void samples_to_floats(const unsigned char* raw, const TiffPageFormat& f, size_t count, float* out) {
  const bool is_signed = f.sample_format == SAMPLEFORMAT_INT;
  if (f.sample_format == SAMPLEFORMAT_IEEEFP) {
    if (f.bits == 32) {
      memcpy(out, raw, count * sizeof(float));
      return;
    }
    for (size_t i = 0; i < count; ++i) {
      uint16_t half;
      memcpy(&half, raw + 2 * i, 2);
      out[i] = float_from_half(half);
    }
    return;
  }
  switch (f.bits) {
    case 8:
      return is_signed ? widen<int8_t>(raw, count, out) : widen<uint8_t>(raw, count, out);
    case 16:
      return is_signed ? widen<int16_t>(raw, count, out) : widen<uint16_t>(raw, count, out);
    default:
      return is_signed ? widen<int32_t>(raw, count, out) : widen<uint32_t>(raw, count, out);
  }
}

}  // namespace

std::string tiff_read_head(FILE* file, MRC_HEAD* head) {
  const TiffStream tiff(file);
  if (!tiff.get()) return tiff.error();
  TiffPageFormat first;
  std::string why = tiff_page_format(tiff.get(), &first);
  if (!why.empty()) return why;
  const int64_t pixels = int64_t(first.width) * first.length;
  int64_t pages = 1;
  while (TIFFReadDirectory(tiff.get())) {
    ++pages;
    TiffPageFormat page;
    why = tiff_page_format(tiff.get(), &page);
    if (!why.empty()) return "page " + std::to_string(pages) + ": " + why;
    if (!tiff_same_format(page, first))
      return "page " + std::to_string(pages) + " holds " + tiff_format_text(page) + ", but page 1 " +
             tiff_format_text(first);
    if (pages * pixels > MRC_MAX_VOXELS || pages > INT32_MAX)
      return "its pages hold more than " + std::to_string(MRC_MAX_VOXELS) + " values";
  }
  if (!tiff.error().empty()) return tiff.error();
  mrc_init_head(head);
  mrc_set_head_xyz_mode(head, int(first.width), int(first.length), int(pages), tiff_page_mode(first));
  if (head->mode == MRC_MODE_BYTE && first.sample_format == SAMPLEFORMAT_UINT) head->imod_stamp = MRC_IMOD_STAMP;
  return "";
}

std::string tiff_read_all(FILE* file, const MRC_HEAD* head, float* out, const std::function<bool()>& go_on) {
  const TiffStream tiff(file);
  if (!tiff.get()) return tiff.error();
  const size_t pixels = mrc_section_voxels(head);
  std::vector<unsigned char> page;
  for (int z = 0; z < head->nz; ++z) {
    if (z > 0 && !TIFFReadDirectory(tiff.get())) return failure(tiff, "page " + std::to_string(z + 1) + " is missing");
    TiffPageFormat f;
    const std::string why = tiff_page_format(tiff.get(), &f);
    if (!why.empty()) return why;
    if (int64_t(f.width) != head->nx || int64_t(f.length) != head->ny || tiff_page_mode(f) != head->mode)
      return "page " + std::to_string(z + 1) + " holds " + tiff_format_text(f) + ", other than before";
    page.resize(pixels * tiff_sample_bytes(f));
    const std::string failed =
        TIFFIsTiled(tiff.get()) ? read_tiles(tiff, f, page.data()) : read_strips(tiff, f, page.data());
    if (!failed.empty()) return "page " + std::to_string(z + 1) + ", " + failed;
    samples_to_floats(page.data(), f, pixels, out + size_t(z) * pixels);
    if (go_on && z + 1 < head->nz && !go_on()) return "stopped";
  }
  return "";
}
