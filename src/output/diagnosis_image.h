// The diagnosis image of a micrograph (stem + ".ctf"): the simulated CTF on the left, the measured
// spectrum on the right, both scaled to a comparable grey range, and a ring at the resolution limit.
#pragma once

#include "core/ctf_records.h"

// How the image is drawn: its box (the spectrum's size), how the simulated CTF is sampled (the
// optics, an envelope and a band), the high-resolution limit of the fit (it sets the grey level of
// the simulated half) and whether the resolution ring is drawn.
struct DiagnosisSettings {
  int box;
  CtfSampling simulated;
  float fit_resH;
  int plot_res_ring;
};

// Writes the image to the file `name` from the micrograph's host half spectrum (box / 2 + 1
// columns by box rows; rescaled in place) and its fitted CTF. A file that cannot be created
// ends the program.
int quib_write_ctfout(const char* name, float* spectrum, const CTF_INFO& ctf, const DiagnosisSettings& settings);

// The image of a box x box spectrum from its simulated and measured centred half spectra (both on
// the host, rescaled in place): each half scaled to its display grey range (the simulated one by
// the fit's high-resolution limit), combined as below, the ring drawn at ring_resolution unless it
// is 0, and the centre pixel cleared.
void compose_diagnosis_image(float* image, float* sim, float* spectrum, int box, float apix, float fit_resH,
                             float ring_resolution);

// Composes an nx x ny image from two centred half spectra of (nx / 2 + 1) x ny values: the
// simulated half turned by 180 degrees on the left, the measured half on the right, the measured
// zero frequency at column nx / 2 - 1, row ny / 2.
void host_2d_half_sim_raw_combine(float* out, const float* sim, const float* raw, int nx, int ny);

// Sets to 5.0 every pixel within the ring's half width (2 pixels for images over 512, else 1.5) of
// the radius nx * apix / resolution around pixel (nx / 2, ny / 2).
void plot_circle(float* image, float resolution, float apix, int nx, int ny);
