// The resolution limit of a micrograph: the resolution at which the equiphase average of its
// spectrum stops following the CTF simulated along the x axis; with the EPA text file, the report
// lines and the B-factor for the driver.
// Spectra are device arrays of nh x ny floats (centred half spectrum); ov is the EPA's
// oversampling; apix in Angstrom per pixel; the phase shift P and the astigmatism angle A in
// degrees; kV; Cs in mm; ac the amplitude contrast; defocus U, V and every resolution in Angstrom.
#pragma once

#include <cstdio>

// R (Angstrom): the first resolution finer than threshold at which the smoothed local correlation
// of the EPA of spectrum over the band resL..resH with |CTF| turns negative, else the last one
// scanned. When the band leaves no sample to scan (tiny boxes, narrow bands) R is resH and a
// warning is printed. Writes no file; returns 0.
int ctf_epa_1d_ccf(float& R, float threshold, const float* spectrum, int ov, float apix, int nh, int ny, float P,
                   float kV, float Cs, float ac, float U, float V, float A, float resL, float resH);

// The same estimate from spectrum_sub (Ln|F| - Bg), plus: the EPA text file named after the
// micrograph (a trailing ".mrc" replaced by "_EPA.log", any other name kept whole) with one line
// per scanned sample; the limit printed and written to log; and, when estimate_B is set, the
// B-factor fitted to the EPA of spectrum_plain (Ln|F|) between B_resL and B_resH, printed,
// logged and stored in *bfactor when bfactor is not null. An EPA file that cannot be written ends
// the program. Returns 0.
int ctf_epa_1d_ccf_B_estimation(FILE* log, const char* micrograph, float& R, float threshold, const float* spectrum_sub,
                                const float* spectrum_plain, int ov, float apix, int nh, int ny, float P, float kV,
                                float Cs, float ac, float U, float V, float A, float resL, float resH, float B_resL,
                                float B_resH, int estimate_B, float* bfactor = nullptr);
