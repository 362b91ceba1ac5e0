// The averaged spectra the diagnosis image can show in place of the measured one: the equiphase
// average, or the plain rotational average, painted back into a half spectrum.
// Images are device arrays of nh x ny floats (centred half spectrum, zero frequency at column 0
// of row ny/2); apix in Angstrom per pixel; kV; Cs in mm; defocus U, V and resolutions in
// Angstrom; the astigmatism angle A in degrees.
#pragma once

// out: the EPA image of in. The EPA of in (no oversampling, band resL..resH) is painted back:
// 0 where s <= 1/resL; the input's own value on rows below the centre row (y > ny/2); 0 where
// s >= 1/resH; elsewhere the EPA interpolated linearly at the radius r0 where the x-axis phase
// equals the pixel's phase, times the display ramp 1 + 10 r0/nh (0 where no such radius lies on
// the profile).
void hcuda_2d_half_EPA(const float* in, float* out, float apix, int nh, int ny, float kV, float Cs, float U, float V,
                       float A, float resL, float resH);

// out: on the rows above the centre row (y < ny/2), pixels in the band resL..resH hold the mean
// of in on the ring through them (directions -pi/2 + j 0.75/r, bilinear) times 1 + 10 r/nh, and
// the others 0; from the centre row on, pixels at s <= 1/resL are 0 and the others keep in's
// value, as in the EPA image.
void hcuda_2d_half_basic_rotate_ave_res(const float* in, float* out, float apix, int nh, int ny, float resL,
                                        float resH);
