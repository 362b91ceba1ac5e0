// Resampling a device image to s times its size by bilinear interpolation (arrays/bilinear_sample.h),
// about the centres of both images: output pixel (X, Y) of NX x NY samples the input at
// u = (nx - 1)/2 + (X - (NX - 1)/2)(1/s), v likewise, all in single precision.
#pragma once

// trunc(n s), the output side for an input side n (formed in float; may be out of int range, which
// scale_problem refuses).
double scaled_side(int n, float s);

// Why nx x ny images cannot be scaled by s (s not above 0 or not finite, an output side below 1
// pixel or beyond the int range), or null.
const char* scale_problem(int nx, int ny, float s);

// out (scaled_side(nx, s) x scaled_side(ny, s)) = in scaled by s; a scale that scale_problem
// refuses ends the program.
void hcuda_2d_scale(float* out, const float* in, int nx, int ny, float s);
