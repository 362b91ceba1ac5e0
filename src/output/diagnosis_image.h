// The diagnosis image of a micrograph (stem + ".ctf"): the simulated CTF on the left, the measured
// spectrum on the right, both scaled to a comparable grey range, and a ring at the resolution limit.
#pragma once

#include "core/ctf_records.h"
#include "run/quib_para.h"

// Writes the image of micrograph `index` of the run's list from its host half spectrum
// (boxsize / 2 + 1 columns by boxsize rows; rescaled in place) and its fitted CTF. A file that
// cannot be created ends the program.
int quib_write_ctfout(float* spectrum, const CTF_INFO& ctf, const QUIB_Para* para, int index);

// Composes an nx x ny image from two centred half spectra of (nx / 2 + 1) x ny values: the
// simulated half turned by 180 degrees on the left, the measured half on the right, the measured
// zero frequency at column nx / 2 - 1, row ny / 2.
void host_2d_half_sim_raw_combine(float* out, const float* sim, const float* raw, int nx, int ny);

// Sets to 5.0 every pixel within the ring's half width (2 pixels for images over 512, else 1.5) of
// the radius nx * apix / resolution around pixel (nx / 2, ny / 2).
void plot_circle(float* image, float resolution, float apix, int nx, int ny);
