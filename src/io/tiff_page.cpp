#include "io/tiff_page.h"

#include "io/mrc_check.h"
#include "io/mrc_header.h"

namespace {

bool readable_samples(uint16_t bits, uint16_t sample_format) {
  switch (sample_format) {
    case SAMPLEFORMAT_UINT:
    case SAMPLEFORMAT_INT:
      return bits == 8 || bits == 16 || bits == 32;
    case SAMPLEFORMAT_IEEEFP:
      return bits == 16 || bits == 32;
    default:
      return false;
  }
}

const char* sample_kind(uint16_t sample_format) {
  switch (sample_format) {
    case SAMPLEFORMAT_UINT:
      return "unsigned integers";
    case SAMPLEFORMAT_INT:
      return "signed integers";
    case SAMPLEFORMAT_IEEEFP:
      return "floats";
    default:
      return "samples of an unknown format";
  }
}

// Why the photometric interpretation rules the page out, or "" when it holds grey values.
std::string colour_reason(TIFF* tiff) {
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric)) return "";
  if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) return "";
  if (photometric == PHOTOMETRIC_PALETTE) return "its pages are palette (colour-map) images, not grey values";
  return "its pages are colour images (photometric interpretation " + std::to_string(photometric) +
         "), not grey values";
}

}  // namespace

std::string tiff_page_format(TIFF* tiff, TiffPageFormat* format) {
  TiffPageFormat f;
  uint16_t samples_per_pixel = 1;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples_per_pixel);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &f.bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &f.sample_format);
  if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &f.width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &f.length) ||
      f.width == 0 || f.length == 0)
    return "a page has no size";
  if (samples_per_pixel != 1)
    return "its pages hold " + std::to_string(samples_per_pixel) +
           " samples per pixel (colour or planar data); only one sample per pixel can be read";
  const std::string colour = colour_reason(tiff);
  if (!colour.empty()) return colour;
  if (f.bits == 1) return "its pages are bilevel (1 bit per pixel)";
  if (!readable_samples(f.bits, f.sample_format))
    return "its samples of " + std::to_string(f.bits) + " bits (sample format " + std::to_string(f.sample_format) +
           ") cannot be read; 8-, 16- and 32-bit integers and 16- and 32-bit floats can";
  if (uint64_t(f.width) * f.length >= uint64_t(MRC_SECTION_VOXELS_LIMIT))
    return "its pages of " + std::to_string(f.width) + " x " + std::to_string(f.length) +
           " pixels are too large (2^31 or more)";
  *format = f;
  return "";
}

bool tiff_same_format(const TiffPageFormat& a, const TiffPageFormat& b) {
  return a.width == b.width && a.length == b.length && a.bits == b.bits && a.sample_format == b.sample_format;
}

std::string tiff_format_text(const TiffPageFormat& format) {
  return std::to_string(format.width) + " x " + std::to_string(format.length) + " pixels of " +
         std::to_string(format.bits) + "-bit " + sample_kind(format.sample_format);
}

int tiff_page_mode(const TiffPageFormat& format) {
  if (format.bits == 8) return MRC_MODE_BYTE;
  if (format.bits == 16 && format.sample_format == SAMPLEFORMAT_IEEEFP) return MRC_MODE_HALF;
  if (format.bits == 16) return format.sample_format == SAMPLEFORMAT_INT ? MRC_MODE_SHORT : MRC_MODE_USHORT;
  return MRC_MODE_FLOAT;
}
