// The 1D rotational average of a centred half spectrum (host arrays), the profile that the defocus
// search starts from.
#pragma once

// half: width = bx/2 + 1 columns by height = by rows, zero frequency at (0, height/2). Each pixel at
// radius r = sqrt(x^2 + (y - height/2)^2) adds to bins trunc(r) and trunc(r) + 1 with the linear
// weights 1 - f and f (f the fraction of r), where those bins are below width; out[i] (width values)
// is the weighted mean of bin i, a radius of i pixels. Returns 0.
int rotational_average_2d_half(const float* half, float* out, int width, int height);
