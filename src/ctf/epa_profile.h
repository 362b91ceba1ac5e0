// The equiphase average (EPA): a half spectrum averaged along curves of equal CTF phase instead of
// circles, so an astigmatic spectrum becomes a 1D profile that follows the CTF along the x axis.
// Spectra are device arrays of nh x ny floats (centred half spectrum). Only the voltage, Cs and
// pixel size of the optics and the defocus and angle of the model shape the curves: the phase
// shift and the amplitude contrast add the same phase on every direction.
#pragma once

#include "core/ctf_records.h"

// Samples of the EPA profile of a half spectrum of width nh at oversampling ov: (nh - 1) ov + 1.
// Sample i lies at s = i / (ov N apix) with N = 2 (nh - 1), a radius of i / ov pixels.
int epa_profile_length(int nh, int ov);

// out (device, epa_profile_length(nh, ov) floats) receives the EPA of in over the band
// 1/band.low < s < 1/band.high (samples on or outside either bound are 0).
void hcuda_2d_half_EPA_X_res(const float* in, float* out, int ov, int nh, int ny, const Optics& optics,
                             const CtfModel& model, RESO band);

// The EPA of two spectra of the same geometry in one walk: out[k] from in[k].
void hcuda_2d_half_EPA_X_res_pair(const float* const in[2], float* const out[2], int ov, int nh, int ny,
                                  const Optics& optics, const CtfModel& model, RESO band);
