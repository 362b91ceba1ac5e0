// MRC files of simulated frames, written one frame at a time: mode 2 (32-bit float) through
// quib's MRC writer, modes 1 (signed 16-bit) and 6 (unsigned 16-bit) as values rounded to the
// nearest integer and clamped to the type's range. The header's minimum, maximum and mean are
// those of the stored values; its cell gives the pixel size (xlen / mx = apix).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "io/mrc_header.h"

// Whether the simulator writes this MRC mode (1, 2 or 6).
bool sim_mrc_mode_supported(int mode);

class MrcFrameWriter {
 public:
  // Creates the file (ending the program when it cannot) and writes a provisional header.
  MrcFrameWriter(const std::string& path, int nx, int ny, int nz, int mode, float apix);
  // Appends one frame of nx * ny values.
  void add_frame(const float* frame);
  // After all nz frames: writes the final header and closes the file.
  void finish();

 private:
  std::string path_;
  FilePtr file_;
  MrcHeadPtr head_;
  size_t frame_size_;
  int frames_written_ = 0;
  double sum_ = 0.0;
  float min_ = 0.0f, max_ = 0.0f;
};

// The whole file at once: nz frames of nx * ny values, one after another.
void write_mrc_frames(const std::string& path, const std::vector<float>& frames, int nx, int ny, int nz, int mode,
                      float apix);
