// Movie and stack refinement: the defocus followed through a movie or particle stack by sliding a
// window of consecutive frames over it, refining the CTF of each window's summed frame spectra
// from the whole stack's CTF, and, when asked, fitting straight lines to the window values
// against the frame number.
#pragma once

#include <cstdio>
#include <vector>

#include "core/ctf_records.h"
#include "ctf/movie_frame_spectra.h"
#include "ctf/refine_2d.h"

struct MovieRefineSettings {
  FrameGrid grid;
  int convsize;             // the background window of the summed spectra
  CtfSampling fit;          // optics, envelope and fitting band
  float defocus_step;       // the refinement's initial defocus step
  int window;               // frames per window, at least 1
  bool fit_lines;           // fit straight lines over the windows
  bool refine_astigmatism;  // refine astigmatism and angle as well as the mean defocus
  bool phase_column;        // report the phase shift in the window lines
  size_t spectra_memory;    // bytes the kept frame spectra may take (movie_frame_spectra.h)
};

// The CTF of one window, with the index of its centre frame (first frame + window/2).
struct MovieWindowFit {
  int centre;
  CtfFit fit;
};

// Refines every window of `window` consecutive frames, each from the stack's CTF, and writes the
// headings, a line per window and, with fit_lines, the fitted table of every frame to the screen
// and the log. Returns the windows' fits in frame order (none when the stack is shorter than one
// window).
std::vector<MovieWindowFit> ctf_movie_stack_refine(const MovieFrames& movie, const CtfFit& stack,
                                                   const MovieRefineSettings& settings, FILE* log);
