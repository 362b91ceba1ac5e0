#include "output/ctf_star_writer.h"

#include <cstdlib>

namespace {

// What the writer wrote to a memory stream.
template <class Write>
std::string written_text(Write write) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&buffer, &size);
  if (!stream) return {};
  write(stream);
  fclose(stream);
  std::string text(buffer, size);
  free(buffer);
  return text;
}

void fput_row_start(FILE* stream, const CtfStarRow& r) {
  fprintf(stream, "%s %s:mrc %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f", r.micrograph,
          r.ctf_image, r.model.defocus_u, r.model.defocus_v, r.model.angle, r.optics.kV, r.optics.Cs, r.optics.ac,
          r.magnification, r.dstep, r.fom, r.resolution);
}

}  // namespace

int log_ctfstar_head(FILE* stream) {
  static const char* const labels[] = {"_rlnMicrographName",
                                       "_rlnCtfImage",
                                       "_rlnDefocusU",
                                       "_rlnDefocusV",
                                       "_rlnDefocusAngle",
                                       "_rlnVoltage",
                                       "_rlnSphericalAberration",
                                       "_rlnAmplitudeContrast",
                                       "_rlnMagnification",
                                       "_rlnDetectorPixelSize",
                                       "_rlnCtfFigureOfMerit"};
  fprintf(stream, "\ndata_\n");
  fprintf(stream, "\nloop_\n");
  int column = 1;
  for (const char* label : labels) fprintf(stream, "%s #%d\n", label, column++);
  return 0;
}

int log_ctfstar_ex_head(FILE* stream) {
  log_ctfstar_head(stream);
  fprintf(stream, "_rlnFinalResolution #12\n");
  return 0;
}

int log_ctfstar_ex_head_phase_shift(FILE* stream) {
  log_ctfstar_head(stream);
  fprintf(stream, "_rlnCtfMaxResolution #12\n");
  fprintf(stream, "_rlnPhaseShift #13\n");
  return 0;
}

int log_ctfstar_ex_oneline(FILE* stream, const CtfStarRow& row) {
  fput_row_start(stream, row);
  fprintf(stream, "\n");
  return 0;
}

int log_ctfstar_ex_oneline_phase_shift(FILE* stream, const CtfStarRow& row) {
  fput_row_start(stream, row);
  fprintf(stream, " %12.6f\n", row.model.phase_shift);
  return 0;
}

std::string ctfstar_head_text(bool phase_shift) {
  return written_text([&](FILE* f) { phase_shift ? log_ctfstar_ex_head_phase_shift(f) : log_ctfstar_ex_head(f); });
}

std::string ctfstar_row_text(const CtfStarRow& row, bool phase_shift) {
  return written_text(
      [&](FILE* f) { phase_shift ? log_ctfstar_ex_oneline_phase_shift(f, row) : log_ctfstar_ex_oneline(f, row); });
}
