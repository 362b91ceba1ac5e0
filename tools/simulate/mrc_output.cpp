#include "simulate/mrc_output.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/report.h"
#include "io/half_float.h"
#include "io/mrc_header.h"
#include "io/mrc_write.h"

namespace {

// A value as the file stores it: floats unchanged, half floats rounded to half precision, the
// 16-bit integer modes rounded and clamped.
float stored_value(float v, int mode) {
  if (mode == MRC_MODE_FLOAT) return v;
  if (mode == MRC_MODE_HALF) return float_from_half(half_from_float(v));
  const double lo = mode == MRC_MODE_SHORT ? INT16_MIN : 0.0;
  const double hi = mode == MRC_MODE_SHORT ? INT16_MAX : UINT16_MAX;
  return static_cast<float>(std::clamp(std::nearbyint(double(v)), lo, hi));
}

template <class T>
std::vector<T> to_integers(const float* frame, size_t n, int mode) {
  std::vector<T> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<T>(stored_value(frame[i], mode));
  return out;
}

std::vector<uint16_t> to_halves(const float* frame, size_t n) {
  std::vector<uint16_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = half_from_float(frame[i]);
  return out;
}

template <class T>
bool append(FILE* file, const std::vector<T>& values) {
  return fseek(file, 0, SEEK_END) == 0 && fwrite(values.data(), sizeof(T), values.size(), file) == values.size();
}

}  // namespace

bool sim_mrc_mode_supported(int mode) {
  return mode == MRC_MODE_SHORT || mode == MRC_MODE_FLOAT || mode == MRC_MODE_USHORT || mode == MRC_MODE_HALF;
}

MrcFrameWriter::MrcFrameWriter(const std::string& path, int nx, int ny, int nz, int mode, float apix)
    : path_(path), head_(mrc_new_head()), frame_size_(static_cast<size_t>(nx) * ny) {
  if (!sim_mrc_mode_supported(mode)) QUIB_FATAL("mrc_output", "the simulator writes MRC modes 1, 2, 6 and 12 only");
  file_ = MRC_OPEN_WRITE(path.c_str(), "wb+");
  mrc_set_head_xyz_mode(head_.get(), nx, ny, nz, mode);
  mrc_set_head_pixel_size(head_.get(), apix);
  if (mrc_write_head(file_.get(), head_.get()) != 0) QUIB_FATAL_CANNOT_WRITE("mrc_output", path_.c_str());
}

void MrcFrameWriter::add_frame(const float* frame) {
  if (frames_written_ == head_->nz) QUIB_FATAL("mrc_output", "more frames than the MRC header holds");
  bool written = false;
  switch (head_->mode) {
    case MRC_MODE_FLOAT:
      written = mrc_add_slice(file_.get(), head_.get(), frame) == 0;
      break;
    case MRC_MODE_SHORT:
      written = append(file_.get(), to_integers<int16_t>(frame, frame_size_, head_->mode));
      break;
    case MRC_MODE_HALF:
      written = append(file_.get(), to_halves(frame, frame_size_));
      break;
    default:
      written = append(file_.get(), to_integers<uint16_t>(frame, frame_size_, head_->mode));
      break;
  }
  if (!written) QUIB_FATAL_CANNOT_WRITE("mrc_output", path_.c_str());
  for (size_t i = 0; i < frame_size_; ++i) {
    const float v = stored_value(frame[i], head_->mode);
    if (frames_written_ == 0 && i == 0) min_ = max_ = v;
    min_ = std::min(min_, v);
    max_ = std::max(max_, v);
    sum_ += v;
  }
  ++frames_written_;
}

void MrcFrameWriter::finish() {
  if (frames_written_ != head_->nz) QUIB_FATAL("mrc_output", "fewer frames than the MRC header holds");
  const float mean = static_cast<float>(sum_ / (double(frame_size_) * frames_written_));
  mrc_set_head_xyz_mmm(head_.get(), head_->nx, head_->ny, head_->nz, min_, max_, mean);
  if (mrc_write_head(file_.get(), head_.get()) != 0) QUIB_FATAL_CANNOT_WRITE("mrc_output", path_.c_str());
  MRC_CLOSE_WRITTEN(file_, path_.c_str());
}

void write_mrc_frames(const std::string& path, const std::vector<float>& frames, int nx, int ny, int nz, int mode,
                      float apix) {
  MrcFrameWriter writer(path, nx, ny, nz, mode, apix);
  const size_t frame_size = static_cast<size_t>(nx) * ny;
  if (frames.size() != frame_size * nz) QUIB_FATAL("mrc_output", "the frames do not match the MRC sizes");
  for (int z = 0; z < nz; ++z) writer.add_frame(frames.data() + z * frame_size);
  writer.finish();
}
