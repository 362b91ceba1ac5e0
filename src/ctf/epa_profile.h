// The equiphase average (EPA): a half spectrum averaged along curves of equal CTF phase instead of
// circles, so an astigmatic spectrum becomes a 1D profile that follows the CTF along the x axis.
// Spectra are device arrays of nh x ny floats (centred half spectrum); apix in Angstrom per pixel;
// kV; Cs in mm; defocus U, V in Angstrom; the astigmatism angle A in degrees. The phase shift and
// the amplitude contrast add the same phase on every direction and so do not change the curves.
#pragma once

// Samples of the EPA profile of a half spectrum of width nh at oversampling ov: (nh - 1) ov + 1.
// Sample i lies at s = i / (ov N apix) with N = 2 (nh - 1), a radius of i / ov pixels.
int epa_profile_length(int nh, int ov);

// out (device, epa_profile_length(nh, ov) floats) receives the EPA of in over the band
// 1/resL < s < 1/resH (samples on or outside either bound are 0).
void hcuda_2d_half_EPA_X_res(const float* in, float* out, int ov, float apix, int nh, int ny, float kV, float Cs,
                             float U, float V, float A, float resL, float resH);

// The EPA of two spectra of the same geometry in one walk: out1 from in1, out2 from in2.
void hcuda_2d_half_EPA_X_res_pair(const float* in1, const float* in2, float* out1, float* out2, int ov, float apix,
                                  int nh, int ny, float kV, float Cs, float U, float V, float A, float resL,
                                  float resH);
