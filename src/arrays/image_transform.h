// Affine resampling of a device image about a centre (cx, cy) by bilinear interpolation
// (arrays/bilinear_sample.h): output pixel (x, y), with dx = x - cx and dy = y - cy formed in float,
// takes the input's value at
//   u = cx + (tx + (dx m11 + dy m12)),  v = cy + (ty + (dx m21 + dy m22)),
// worked out in double and rounded to float. The output has the input's size.
#pragma once

// A 2 x 2 matrix, row by row, and a translation in pixels.
struct RT_Mat2D {
  double m11, m12, m21, m22;
  double tx, ty;
};

// The inverse motion: the matrix (m22, -m12, -m21, m11)/det and the translation
// ((m12 ty - m22 tx)/det, (m21 tx - m11 ty)/det), det = m11 m22 - m12 m21, in double.
RT_Mat2D inverse_motion(const RT_Mat2D& m);

// Why m cannot be used (an entry that is not finite; with direct == 0 also a matrix whose inverse
// is not finite: det 0 or too small), or null.
const char* transform_problem(const RT_Mat2D& m, int direct);

// With direct != 0, m maps output offsets to input points as above. With direct == 0, m is the
// forward motion of the image: the point p of the input moves to m p (about the centre), so its
// inverse is applied. A transform that transform_problem refuses ends the program. in and out
// are nx x ny device images; out must not be in.
void hcuda_2d_transform(const float* in, float* out, int nx, int ny, float cx, float cy, RT_Mat2D m, int direct);

// Rotation by angle degrees about ((nx - 1)/2, (ny - 1)/2): output pixel takes the input at its
// offset rotated by the angle, (dx cos - dy sin, dx sin + dy cos). With y growing upwards a
// positive angle turns the image clockwise; with y growing downwards (rows from the top, as on a
// screen), counter-clockwise. Quarter turns are exact: they move pixels onto pixels.
void hcuda_2d_rotate(const float* in, float* out, int nx, int ny, float angle);
