// The lines of movie and stack refinement, each written to the screen and to the log.
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

#include "ctf/movie_refine.h"

// The opening rule and the column headings (with a phase-shift column when asked).
void movie_report_headings(FILE* log, bool phase_column);
// The warning that the frame spectra are not kept: they would need `needed` bytes of `available`.
void movie_report_recomputed_spectra(FILE* log, int window, size_t needed, size_t available);
// The warning that the stack holds no whole window.
void movie_report_no_window(FILE* log, int window, int frames);
// The start of a window's progress line, before its frames' dots.
void movie_report_window_start(int centre);
void movie_report_window(FILE* log, const MovieWindowFit& window, bool phase_column);
void movie_report_windows_end(FILE* log);
// The straight lines y = k f + b of U, V, angle and CCC against the centre frame, fitted over the
// windows, evaluated at every frame (numbered from 1). Fewer than two windows fit no line; that is
// said instead.
void movie_report_fitted_lines(FILE* log, const std::vector<MovieWindowFit>& windows, int frames);
