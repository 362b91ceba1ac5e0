#include "io/star_writer.h"

int star_write_labels(FILE* stream, const char* const* labels, int count) {
  rewind(stream);
  fprintf(stream, "\ndata_\n\nloop_\n");
  for (int i = 0; i < count; ++i) fprintf(stream, "%s #%d\n", labels[i], i + 1);
  return 0;
}

int particle_star_write_head(FILE* stream) {
  static const char* const kLabels[] = {
      "_rlnMicrographName",
      "_rlnCoordinateX",
      "_rlnCoordinateY",
      "_rlnVoltage",
      "_rlnDefocusU",
      "_rlnDefocusV",
      "_rlnDefocusAngle",
      "_rlnSphericalAberration",
      "_rlnDetectorPixelSize",
      "_rlnCtfFigureOfMerit",
      "_rlnMagnification",
      "_rlnAmplitudeContrast",
      "_rlnAutopickFigureOfMerit",
      "_rlnPhaseShift",
  };
  return star_write_labels(stream, kLabels, sizeof kLabels / sizeof kLabels[0]);
}

int particle_star_write_oneline(FILE* stream, const ParticleStarRow& row) {
  const CtfModel& m = row.model;
  fprintf(stream,
          "%s %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f %12.6f "
          "%12.6f\n",
          row.micrograph, static_cast<float>(row.x), static_cast<float>(row.y), row.optics.kV, m.defocus_u, m.defocus_v,
          m.angle, row.optics.Cs, row.detector_pixel_size, row.figure_of_merit, row.magnification, row.optics.ac,
          row.autopick_figure_of_merit, m.phase_shift);
  return 0;
}
