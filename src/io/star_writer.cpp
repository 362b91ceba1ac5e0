#include "io/star_writer.h"

int star_write_labels(FILE* stream, const char* const* labels, int count) {
  rewind(stream);
  fprintf(stream, "\ndata_\n\nloop_\n");
  for (int i = 0; i < count; ++i) fprintf(stream, "%s #%d\n", labels[i], i + 1);
  return 0;
}

int particle_star_write_head(FILE* stream) {
  static const char* const kLabels[] = {
      "_rlnMicrographName",       "_rlnCoordinateX",       "_rlnCoordinateY",
      "_rlnVoltage",              "_rlnDefocusU",          "_rlnDefocusV",
      "_rlnDefocusAngle",         "_rlnSphericalAberration", "_rlnDetectorPixelSize",
      "_rlnCtfFigureOfMerit",     "_rlnMagnification",     "_rlnAmplitudeContrast",
      "_rlnAutopickFigureOfMerit", "_rlnPhaseShift",
  };
  return star_write_labels(stream, kLabels, sizeof kLabels / sizeof kLabels[0]);
}

int particle_star_write_oneline(FILE* stream, const char* micrograph, int x, int y, float defocus_u,
                                float defocus_v, float angle, float voltage, float cs,
                                float amplitude_contrast, float magnification,
                                float detector_pixel_size, float figure_of_merit,
                                float autopick_figure_of_merit, float phase_shift) {
  fprintf(stream,
          "%s %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f "
          "%12.6f\n",
          micrograph, static_cast<float>(x), static_cast<float>(y), voltage, defocus_u, defocus_v,
          angle, cs, detector_pixel_size, figure_of_merit, magnification, amplitude_contrast,
          autopick_figure_of_merit, phase_shift);
  return 0;
}
