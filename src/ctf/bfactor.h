// The B-factor of a micrograph from the equiphase average of its log amplitude spectrum: the slope
// of ln|F| against s^2 is -B/4.
#pragma once

// profile: n host samples, sample i at s = i / (2 (n - 1) apix). Fits a line to profile[i]
// against s_i^2 for trunc(2 (n - 1) apix / r1) <= i < trunc(2 (n - 1) apix / r2), the resolutions
// (Angstrom) taken in either order, and returns -4 times its slope (square Angstrom). When fewer
// than two samples lie in the band, or the fit is not finite, it warns and returns 0.
float bfac_estimation_from_epa_1d2(const float* profile, float apix, int n, float r1, float r2);
