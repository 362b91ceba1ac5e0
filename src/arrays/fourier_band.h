// Fourier band-pass, low-pass and high-pass filters of square n x n images on the device. The
// transforms are unnormalised, so the output is the filtered image times n^2 (times (2n)^2 for the
// mirror-padded form). Element (x, y) of the half-complex transform lies at the radius
// r = sqrt(x^2 + ky^2) pixels (ky = y below n/2, y - n above), squares summed as integers.
#pragma once

#include "core/hd.h"

// How the kept band ends: cut sharply, with a Gaussian fall-off over `width` pixels beyond the outer
// radius, or weighted by Gaussians over the whole band.
enum class BandEdge { kSharp, kSoft, kGaussian };

// Resolutions in Angstrom. Details coarser than coarse_res and finer than fine_res are removed;
// a coarse_res of infinity keeps the lowest frequencies and a fine_res of 0 the highest.
struct BandPass {
  double coarse_res;
  double fine_res;
  BandEdge edge;
  float width;
};

// The band between two resolutions given in either order, both above 0.
BandPass band_between(double res1, double res2, BandEdge edge, float width);

// Why the band cannot filter an n x n image of pixel size apix (a resolution not above 0, a
// Gaussian band open at one end or with a zero spread, a negative width), or null when it can.
const char* band_pass_problem(const BandPass& band, int n, float apix);

// The radii, in pixels of an n x n transform, that bound the band.
struct BandRadii {
  float inner;
  float outer;
};
BandRadii band_radii(const BandPass& band, int n, float apix);

// normal density shape without its 1/sigma factor: 0.3989423 exp(-x^2 / (2 sigma^2)).
QUIB_HD float guasf(float x, float sigma);

// The factor the band applies at radius r of an n x n transform.
QUIB_HD float band_factor(BandEdge edge, BandRadii radii, float width, int n, float r);

// out = the band-passed in; in and out may be the same array. A band that band_pass_problem
// refuses ends the program. Returns 0, or -1 after a device failure.
int hcuda_2d_bandpass(const float* in, float* out, int n, float apix, const BandPass& band);
// The same on the 2n x 2n mirror-padded image, with radii for size 2n, keeping the top-left n x n
// quarter: no wrap-around from the opposite edge reaches the result.
int hcuda_2d_bandpass_mpad(const float* in, float* out, int n, float apix, const BandPass& band);
