// TIFF files for the TIFF suites, written through libtiff itself: any sample type, compression,
// strip or tile layout, byte order, and pages of differing sizes or colour layouts.
#pragma once

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

struct TiffLayout {
  uint16_t compression = COMPRESSION_NONE;
  bool predictor = false;       // horizontal differencing before compression
  uint32_t rows_per_strip = 0;  // 0: one strip per page
  uint32_t tile = 0;            // side of square tiles; 0: strips
  uint16_t samples = 1;         // samples per pixel
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t bits = 0;           // 0: those of the sample type
  uint16_t sample_format = 0;  // 0: that of the sample type
};

// Writes pages one after another; the file is complete when the writer goes. The mode is
// libtiff's: "w" little-endian, "wb" big-endian, "w8" BigTIFF.
class TestTiffWriter {
 public:
  explicit TestTiffWriter(const std::string& path, const char* mode = "w") : tiff_(TIFFOpen(path.c_str(), mode)) {
    EXPECT_NE(tiff_, nullptr) << path;
  }
  ~TestTiffWriter() {
    if (tiff_) TIFFClose(tiff_);
  }
  TestTiffWriter(const TestTiffWriter&) = delete;
  TestTiffWriter& operator=(const TestTiffWriter&) = delete;

  // One page of nx x ny pixels from the samples, row after row.
  template <class T>
  void add_page(const T* samples, uint32_t nx, uint32_t ny, const TiffLayout& layout = {}) {
    const uint16_t format = layout.sample_format               ? layout.sample_format
                            : std::is_floating_point<T>::value ? SAMPLEFORMAT_IEEEFP
                            : std::is_signed<T>::value         ? SAMPLEFORMAT_INT
                                                               : SAMPLEFORMAT_UINT;
    const uint16_t bits = layout.bits ? layout.bits : uint16_t(8 * sizeof(T));
    TIFFSetField(tiff_, TIFFTAG_IMAGEWIDTH, nx);
    TIFFSetField(tiff_, TIFFTAG_IMAGELENGTH, ny);
    TIFFSetField(tiff_, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tiff_, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
    TIFFSetField(tiff_, TIFFTAG_SAMPLEFORMAT, format);
    TIFFSetField(tiff_, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tiff_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff_, TIFFTAG_COMPRESSION, layout.compression);
    if (layout.predictor) TIFFSetField(tiff_, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (layout.photometric == PHOTOMETRIC_PALETTE) set_grey_colour_map(bits);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(samples);
    if (layout.tile) {
      TIFFSetField(tiff_, TIFFTAG_TILEWIDTH, layout.tile);
      TIFFSetField(tiff_, TIFFTAG_TILELENGTH, layout.tile);
      write_tiles(bytes, nx, ny, layout.tile);
    } else {
      const uint32_t rows = layout.rows_per_strip ? layout.rows_per_strip : ny;
      TIFFSetField(tiff_, TIFFTAG_ROWSPERSTRIP, rows);
      const tmsize_t row_bytes = TIFFScanlineSize(tiff_);
      for (uint32_t row = 0, strip = 0; row < ny; row += rows, ++strip) {
        const uint32_t count = std::min(rows, ny - row);
        std::vector<unsigned char> copy(bytes + row * row_bytes, bytes + (row + count) * row_bytes);
        EXPECT_EQ(TIFFWriteEncodedStrip(tiff_, strip, copy.data(), tmsize_t(copy.size())), tmsize_t(copy.size()));
      }
    }
    EXPECT_EQ(TIFFWriteDirectory(tiff_), 1);
  }

  template <class T>
  void add_pages(const std::vector<T>& samples, uint32_t nx, uint32_t ny, uint32_t nz, const TiffLayout& layout = {}) {
    ASSERT_EQ(samples.size(), size_t(nx) * ny * nz * layout.samples);
    for (uint32_t z = 0; z < nz; ++z) add_page(samples.data() + size_t(z) * nx * ny * layout.samples, nx, ny, layout);
  }

 private:
  void set_grey_colour_map(uint16_t bits) {
    std::vector<uint16_t> map(size_t(1) << bits);
    for (size_t i = 0; i < map.size(); ++i) map[i] = uint16_t(i * 257);
    TIFFSetField(tiff_, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
  }

  void write_tiles(const unsigned char* bytes, uint32_t nx, uint32_t ny, uint32_t tile) {
    const size_t pixel = size_t(TIFFScanlineSize(tiff_)) / nx;
    std::vector<unsigned char> buffer(size_t(TIFFTileSize(tiff_)));
    for (uint32_t y = 0; y < ny; y += tile)
      for (uint32_t x = 0; x < nx; x += tile) {
        std::fill(buffer.begin(), buffer.end(), 0);
        for (uint32_t r = 0; r < tile && y + r < ny; ++r)
          for (uint32_t c = 0; c < tile && x + c < nx; ++c)
            std::copy_n(bytes + ((size_t(y) + r) * nx + x + c) * pixel, pixel, buffer.begin() + (r * tile + c) * pixel);
        EXPECT_GT(
            TIFFWriteEncodedTile(tiff_, TIFFComputeTile(tiff_, x, y, 0, 0), buffer.data(), tmsize_t(buffer.size())), 0);
      }
  }

  TIFF* tiff_;
};
