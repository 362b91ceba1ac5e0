// The pages of a TIFF file as quib reads them: the size and samples of a page (the current
// directory), whether they can be read, and the MRC mode that stands for them.
#pragma once

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <string>

struct TiffPageFormat {
  uint32_t width = 0;
  uint32_t length = 0;
  uint16_t bits = 0;           // per sample: 8, 16 or 32
  uint16_t sample_format = 0;  // SAMPLEFORMAT_UINT, SAMPLEFORMAT_INT or SAMPLEFORMAT_IEEEFP
};

// Reads the format of the current directory; "" when quib can read such a page (one sample per
// pixel, grey values, integers of 8, 16 or 32 bits or floats of 16 or 32, fewer than 2^31
// pixels), otherwise why not.
std::string tiff_page_format(TIFF* tiff, TiffPageFormat* format);

bool tiff_same_format(const TiffPageFormat& a, const TiffPageFormat& b);

// "4096 x 4096 pixels of 16-bit unsigned integers", for messages.
std::string tiff_format_text(const TiffPageFormat& format);

// Bytes of one sample.
inline size_t tiff_sample_bytes(const TiffPageFormat& format) { return format.bits / 8u; }

// The MRC mode of the samples (see tiff_read_head).
int tiff_page_mode(const TiffPageFormat& format);
