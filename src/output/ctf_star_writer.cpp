#include "output/ctf_star_writer.h"

#include <cmath>
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

namespace {

// The two tables of RELION 3.1: the run's one optics group, then the labels of the micrographs.
void put_relion31_head(FILE* f, bool phase_shift, const Optics& o) {
  static const char* const optics_labels[] = {
      "_rlnOpticsGroupName",     "_rlnOpticsGroup",       "_rlnMicrographOriginalPixelSize", "_rlnVoltage",
      "_rlnSphericalAberration", "_rlnAmplitudeContrast", "_rlnMicrographPixelSize"};
  static const char* const micrograph_labels[] = {
      "_rlnMicrographName", "_rlnOpticsGroup",  "_rlnCtfImage",         "_rlnDefocusU",         "_rlnDefocusV",
      "_rlnCtfAstigmatism", "_rlnDefocusAngle", "_rlnCtfFigureOfMerit", "_rlnCtfMaxResolution", "_rlnPhaseShift"};
  fprintf(f, "\n# version 30001\n\ndata_optics\n\nloop_\n");
  int column = 1;
  for (const char* label : optics_labels) fprintf(f, "%s #%d\n", label, column++);
  fprintf(f, "opticsGroup1 1 %12.6f %12.6f %12.6f %12.6f %12.6f\n\n", o.apix, o.kV, o.Cs, o.ac, o.apix);
  fprintf(f, "\n# version 30001\n\ndata_micrographs\n\nloop_\n");
  const int columns = phase_shift ? 10 : 9;
  for (column = 1; column <= columns; ++column) fprintf(f, "%s #%d\n", micrograph_labels[column - 1], column);
}

void put_relion31_row(FILE* f, const CtfStarRow& r, bool phase_shift) {
  const CtfModel& m = r.model;
  fprintf(f, "%s 1 %s:mrc %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f", r.micrograph, r.ctf_image, m.defocus_u,
          m.defocus_v, std::fabs(m.defocus_u - m.defocus_v), m.angle, r.fom, r.resolution);
  if (phase_shift) fprintf(f, " %12.6f", m.phase_shift);
  fprintf(f, "\n");
}

}  // namespace

std::string ctfstar_head_text(bool phase_shift, CtfStarLayout layout, const Optics& optics) {
  return written_text([&](FILE* f) {
    if (layout == CtfStarLayout::kRelion31) return put_relion31_head(f, phase_shift, optics);
    phase_shift ? log_ctfstar_ex_head_phase_shift(f) : log_ctfstar_ex_head(f);
  });
}

std::string ctfstar_row_text(const CtfStarRow& row, bool phase_shift, CtfStarLayout layout) {
  return written_text([&](FILE* f) {
    if (layout == CtfStarLayout::kRelion31) return put_relion31_row(f, row, phase_shift);
    phase_shift ? log_ctfstar_ex_oneline_phase_shift(f, row) : log_ctfstar_ex_oneline(f, row);
  });
}
