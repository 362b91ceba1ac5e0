#include "output/ctf_star_writer.h"

namespace {

void fput_row_start(FILE* stream, const char* micrograph, const char* ctfimage, float U, float V, float angle,
                    float kV, float cs, float ac, float magnification, float dstep, float fom, float resolution) {
  fprintf(stream, "%s %s:mrc %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f", micrograph,
          ctfimage, U, V, angle, kV, cs, ac, magnification, dstep, fom, resolution);
}

}  // namespace

int log_ctfstar_head(FILE* stream) {
  static const char* const labels[] = {
      "_rlnMicrographName",    "_rlnCtfImage",          "_rlnDefocusU",           "_rlnDefocusV",
      "_rlnDefocusAngle",      "_rlnVoltage",           "_rlnSphericalAberration", "_rlnAmplitudeContrast",
      "_rlnMagnification",     "_rlnDetectorPixelSize", "_rlnCtfFigureOfMerit"};
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

int log_ctfstar_ex_oneline(FILE* stream, const char* micrograph, const char* ctfimage, float U, float V,
                           float angle, float kV, float cs, float ac, float magnification, float dstep,
                           float fom, float resolution) {
  fput_row_start(stream, micrograph, ctfimage, U, V, angle, kV, cs, ac, magnification, dstep, fom, resolution);
  fprintf(stream, "\n");
  return 0;
}

int log_ctfstar_ex_oneline_phase_shift(FILE* stream, const char* micrograph, const char* ctfimage, float U,
                                       float V, float angle, float phase_shift, float kV, float cs, float ac,
                                       float magnification, float dstep, float fom, float resolution) {
  fput_row_start(stream, micrograph, ctfimage, U, V, angle, kV, cs, ac, magnification, dstep, fom, resolution);
  fprintf(stream, " %12.6f\n", phase_shift);
  return 0;
}
