#include "ctf/movie_refine_report.h"

#include <cstdarg>

#include "stats/host_line_fit.h"

namespace {

__attribute__((format(printf, 2, 3))) void put_line(FILE* log, const char* format, ...) {
  va_list args, copy;
  va_start(args, format);
  va_copy(copy, args);
  vprintf(format, args);
  if (log) vfprintf(log, format, copy);
  va_end(copy);
  va_end(args);
}

}  // namespace

void movie_report_headings(FILE* log, bool phase_column) {
  printf("# ####################################,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,\n");
  if (phase_column)
    put_line(log, "\n   Defocus_U   Defocus_V       Angle    Phase_shift     CCC\n");
  else
    put_line(log, "\n   Defocus_U   Defocus_V       Angle        CCC\n");
}

void movie_report_recomputed_spectra(FILE* log, int window, size_t needed, size_t available) {
  put_line(log,
           "Warning: keeping the spectra of a window of %d frames needs %.1f MiB, more than the %.1f MiB at hand; each "
           "frame is transformed again for every window that holds it (slower, same results).\n",
           window, needed / 1048576.0, available / 1048576.0);
}

void movie_report_no_window(FILE* log, int window, int frames) {
  put_line(log, "Warning: a window of %d frames is longer than the %d frames of the stack; no window is refined.\n",
           window, frames);
}

void movie_report_window_start(int centre) { printf("\n# %d ", centre); }

void movie_report_window(FILE* log, const MovieWindowFit& w, bool phase_column) {
  const CtfModel& m = w.fit.model;
  put_line(log, "\n");
  if (phase_column)
    put_line(log, "%12.2f%12.2f%12.2f%12.2f%12.6f  STACK CTF Value %d\n", m.defocus_u, m.defocus_v, m.angle,
             m.phase_shift, w.fit.ccc, w.centre);
  else
    put_line(log, "%12.2f%12.2f%12.2f%12.6f  STACK CTF Value %d\n", m.defocus_u, m.defocus_v, m.angle, w.fit.ccc,
             w.centre);
}

void movie_report_windows_end(FILE* log) { put_line(log, "\n"); }

void movie_report_fitted_lines(FILE* log, const std::vector<MovieWindowFit>& windows, int frames) {
  const int n = static_cast<int>(windows.size());
  if (n < 2) {
    put_line(log,
             "Warning: a straight line needs at least two windows, and the %d frames give %d; no line is fitted.\n",
             frames, n);
    return;
  }
  std::vector<float> x, u, v, angle, ccc;
  for (const MovieWindowFit& w : windows) {
    x.push_back(static_cast<float>(w.centre));
    u.push_back(w.fit.model.defocus_u);
    v.push_back(w.fit.model.defocus_v);
    angle.push_back(w.fit.model.angle);
    ccc.push_back(w.fit.ccc);
  }
  float k[4], b[4];
  const std::vector<float>* values[4] = {&u, &v, &angle, &ccc};
  for (int i = 0; i < 4; ++i) line_fit(x.data(), values[i]->data(), n, k[i], b[i]);
  put_line(log, "Linear fitted stack/movie CTF values:\n");
  for (int f = 0; f < frames; ++f)
    put_line(log, "%13.2f%13.2f%13.2f%13.2f STACK CTF Value %d\n", k[0] * f + b[0], k[1] * f + b[1], k[2] * f + b[2],
             k[3] * f + b[3], f + 1);
}
