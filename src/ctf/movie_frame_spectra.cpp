#include "ctf/movie_frame_spectra.h"

#include "arrays/array_ops_1d.h"
#include "core/report.h"
#include "spectrum/spectrum_grid.h"

namespace {

size_t spectrum_size(const FrameGrid& grid) { return static_cast<size_t>(grid.box / 2 + 1) * grid.box; }

void transform_frame(FrameSpectra& s, int f, float* out) {
  const MovieFrames& m = s.movie;
  const size_t pixels = static_cast<size_t>(m.nx) * m.ny;
  const float* frame = device_readable(m.pixels + f * pixels, s.frame.get(), pixels);
  hcuda_2d_gridfft_r2c_amp_ave(frame, out, m.nx, m.ny, s.grid.box, s.grid.box, s.grid.step, 0);
}

// The kept spectrum of frame f, transformed when it is the next frame.
const float* kept_spectrum(FrameSpectra& s, int f) {
  float* slot = s.spectra.get() + static_cast<size_t>(f % s.window) * spectrum_size(s.grid);
  if (f == s.transformed) {
    transform_frame(s, f, slot);
    ++s.transformed;
  } else if (f > s.transformed || f < s.transformed - s.window) {
    QUIB_FATAL("movie", "A movie frame was asked for out of window order");
  }
  return slot;
}

}  // namespace

size_t kept_spectra_bytes(const FrameGrid& grid, int window) {
  return spectrum_size(grid) * static_cast<size_t>(window) * sizeof(float);
}

FrameSpectra frame_spectra(const MovieFrames& movie, const FrameGrid& grid, int window, size_t memory_limit) {
  const bool keep = window > 1 && kept_spectra_bytes(grid, window) <= memory_limit;
  const size_t pixels = static_cast<size_t>(movie.nx) * movie.ny;
  return FrameSpectra{movie,
                      grid,
                      window,
                      keep,
                      0,
                      DeviceBuffer<float>(pixels),
                      DeviceBuffer<float>(spectrum_size(grid) * (keep ? window : 1))};
}

void add_frame_spectrum(FrameSpectra& s, int f, float* sum) {
  const float* spectrum = s.spectra.get();
  if (s.keeps_spectra)
    spectrum = kept_spectrum(s, f);
  else
    transform_frame(s, f, s.spectra.get());
  hcuda_addto_float(sum, spectrum, spectrum_size(s.grid));
}
