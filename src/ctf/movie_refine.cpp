#include "ctf/movie_refine.h"

#include "arrays/array_fill.h"
#include "ctf/movie_refine_report.h"
#include "ctf/refine_fixed_phase.h"
#include "spectrum/spectrum_background.h"

namespace {

// sum = Ln of the summed amplitude spectra of frames first ... first + window - 1, less its
// background; a dot on the screen for each frame.
void window_spectrum(FrameSpectra& spectra, int first, const MovieRefineSettings& s, float* sum) {
  const int box = s.grid.box;
  hcuda_empty_float(sum, static_cast<size_t>(box / 2 + 1) * box);
  for (int f = first; f < first + s.window; ++f) {
    printf(".");
    fflush(stdout);
    add_frame_spectrum(spectra, f, sum);
  }
  hcuda_2d_fft_amp_log_subbg_inplace(sum, box, box, s.convsize);
}

CtfFit refine_window(const RefineTarget& target, const CtfFit& stack, const MovieRefineSettings& s, FILE* log) {
  if (s.refine_astigmatism) return hcuda_ctfrefine_half2d_local(target, stack.model, s.defocus_step, 1.0f, log);
  return hcuda_ctfrefine_half2d_only_defave(target, stack.model, s.defocus_step, log);
}

}  // namespace

std::vector<MovieWindowFit> ctf_movie_stack_refine(const MovieFrames& movie, const CtfFit& stack,
                                                   const MovieRefineSettings& s, FILE* log) {
  movie_report_headings(log, s.phase_column);
  std::vector<MovieWindowFit> windows;
  const int box = s.grid.box;
  const size_t spectrum_size = static_cast<size_t>(box / 2 + 1) * box;
  DeviceBuffer<float> sum(spectrum_size), work(spectrum_size);
  FrameSpectra spectra = frame_spectra(movie, s.grid, s.window, s.spectra_memory);
  if (s.window > movie.nz) movie_report_no_window(log, s.window, movie.nz);
  if (!spectra.keeps_spectra && s.window > 1 && s.window <= movie.nz)
    movie_report_recomputed_spectra(log, s.window, kept_spectra_bytes(s.grid, s.window), s.spectra_memory);
  const RefineTarget target{sum.get(), work.get(), box, box, s.fit};
  for (int first = 0; first + s.window <= movie.nz; ++first) {
    const int centre = first + s.window / 2;
    movie_report_window_start(centre);
    window_spectrum(spectra, first, s, sum.get());
    windows.push_back(MovieWindowFit{centre, refine_window(target, stack, s, log)});
    movie_report_window(log, windows.back(), s.phase_column);
  }
  movie_report_windows_end(log);
  if (s.fit_lines) movie_report_fitted_lines(log, windows, movie.nz);
  return windows;
}
