// The averaged spectra the diagnosis image can show in place of the measured one: the equiphase
// average, or the plain rotational average, painted back into a half spectrum.
// Images are device arrays of nh x ny floats (centred half spectrum, zero frequency at column 0
// of row ny/2); apix in Angstrom per pixel; bands in Angstrom.
#pragma once

#include "core/ctf_records.h"

// out: the EPA image of in for the model. The EPA of in (no oversampling, the band) is painted
// back: 0 where s <= 1/band.low; the input's own value on rows below the centre row (y > ny/2);
// 0 where s >= 1/band.high; elsewhere the EPA interpolated linearly at the radius r0 where the x-axis phase
// equals the pixel's phase, times the display ramp 1 + 10 r0/nh (0 where no such radius lies on
// the profile).
void hcuda_2d_half_EPA(const float* in, float* out, int nh, int ny, const Optics& optics, const CtfModel& model,
                       RESO band);

// out: on the rows above the centre row (y < ny/2), pixels in the band hold the mean of in on the
// ring through them (directions -pi/2 + j 0.75/r, bilinear) times 1 + 10 r/nh, and the others 0;
// from the centre row on, pixels at s <= 1/band.low are 0 and the others keep in's value, as in
// the EPA image.
void hcuda_2d_half_basic_rotate_ave_res(const float* in, float* out, float apix, int nh, int ny, RESO band);
