// The parameters of one simulated micrograph or movie, their defaults and their checks, and the
// true defocus they imply for a frame or a point of the image.
#pragma once

#include <cstdint>

struct SimParams {
  int nx = 4096;             // columns
  int ny = 4096;             // rows
  int nz = 1;                // frames; more than one makes a movie
  float apix = 1.0f;         // Angstrom per pixel
  float kV = 300.0f;         // acceleration voltage
  float Cs = 2.7f;           // spherical aberration, mm
  float ac = 0.1f;           // amplitude contrast
  float defU = 20000.0f;     // defocus along `angle`, Angstrom, positive = underfocus
  float defV = 20000.0f;     // defocus perpendicular to it
  float angle = 0.0f;        // degrees from the x axis toward +y (the row index)
  float phase_shift = 0.0f;  // degrees
  float bfac = 80.0f;        // envelope exp(-B s^2 / 4), square Angstrom
  float dose = 40.0f;        // electrons per square Angstrom over the whole exposure
  uint64_t seed = 1;         // fixes the specimen, the illumination and the noise
  float drift = 0.0f;        // defocus change from one frame to the next, Angstrom
  float tilt_angle = 0.0f;   // specimen tilt, degrees
  float tilt_axis = 0.0f;    // direction of the tilt axis in the image, degrees like `angle`
  int nptcl = 100;           // particles asked for
  int box = 256;             // particle box in pixels; a particle is box / 2 across
};

// Ends the program with a message naming the first parameter that is out of its range.
void check_sim_params(const SimParams& p);

// Defocus added to U and V in frame f (0-based) by the drift.
float frame_defocus_shift(const SimParams& p, int frame);
// The drift's shift averaged over all frames: what a spectrum of the frame sum shows.
float mean_defocus_shift(const SimParams& p);

// The defocus offset of the tilted specimen at pixel (x, y): zero on the tilt axis, which runs
// through the image centre ((nx - 1) / 2, (ny - 1) / 2) at `tilt_axis` degrees; it grows by
// tan(tilt_angle) Angstrom per Angstrom of distance toward the direction tilt_axis + 90 degrees.
struct DefocusPlane {
  double cx, cy;  // centre, pixels
  double gx, gy;  // Angstrom of defocus per pixel along x and y
  double at(double x, double y) const { return gx * (x - cx) + gy * (y - cy); }
};
DefocusPlane defocus_plane(const SimParams& p);
