// TIFF files read through libtiff from an open stdio stream (a file on disk or in memory): how to
// recognise one by its first bytes, and an owner of the open TIFF that keeps libtiff's error text
// for the caller's messages instead of letting libtiff print it.
#pragma once

#include <tiffio.h>

#include <cstdio>
#include <string>

// True when the stream starts like a TIFF or BigTIFF file: "II*\0", "MM\0*", "II+\0" or "MM\0+".
// The stream is left at offset 0.
bool is_tiff_stream(FILE* file);

class TiffStream {
 public:
  // Opens the stream (which stays the caller's, and must outlive this owner) for reading at its
  // first directory; get() is null when libtiff could not open it, and error() then says why.
  explicit TiffStream(FILE* file);
  ~TiffStream();
  TiffStream(const TiffStream&) = delete;
  TiffStream& operator=(const TiffStream&) = delete;

  TIFF* get() const { return tiff_; }
  // The first error libtiff reported for this file, "module: text", or "" when none; libtiff's
  // warnings are dropped.
  const std::string& error() const { return error_; }

 private:
  TIFF* tiff_ = nullptr;
  std::string error_;
};
