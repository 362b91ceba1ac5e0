// The noise-free image of one frame, in expected electrons per pixel:
//   e * illumination(x, y) * max(0, 1 - 2 f(x, y)),  f = the specimen's phase filtered by
//   CTF E MTF (transfer.h),
// where e is the dose per pixel of the frame. A tilted specimen is cut into thin layers of equal
// defocus along its defocus plane (each pixel shared between the two nearest layers in
// proportion to its distance), and each layer is filtered with its own defocus, so every point of
// the image carries the defocus of the plane at the object point it comes from. The filtering
// of a tilted specimen runs on a canvas larger than the image by the distance the CTF spreads a
// point, over which the specimen repeats and the plane continues, so no signal wraps around
// from the far edge with the wrong defocus.
#pragma once

#include <vector>

#include "simulate/sim_params.h"
#include "simulate/transfer.h"

// What stays the same for every frame: the canvas, the layers and the transfer table.
struct ImagingSetup {
  SimParams canvas;            // the image's parameters with the canvas's nx and ny
  int nx, ny;                  // the image's size
  int ox, oy;                  // the image's corner on the canvas
  DefocusPlane plane;          // on canvas pixels
  std::vector<double> layers;  // defocus offsets of the layers; one layer 0 when untilted
  double spacing;              // defocus between neighbouring layers
  TransferTable transfer;      // on the canvas's frequency grid
};

ImagingSetup make_imaging_setup(const SimParams& p);

// Defocus between neighbouring layers, Angstrom: the CTF phases of two neighbouring layers
// differ by one radian at the highest frequency that carries signal (the Nyquist frequency
// 1 / (2 apix), or lower where the envelope has fallen to 5%), so a pixel shared between them
// keeps at least cos(0.5) = 88% of its contrast there, and the mean of their defocus.
double layer_spacing(const SimParams& p);

// How far the CTF spreads a point of the specimen, in pixels: the largest
// |lambda Z s - Cs lambda^3 s^3| / apix over the frequencies that carry signal, for the largest
// |Z| the image holds.
double ctf_spread(const SimParams& p);

// `defocus_shift` (Angstrom) is added to U and V everywhere: the drift of a movie frame.
std::vector<float> expected_counts(const ImagingSetup& setup, const std::vector<float>& phase,
                                   const std::vector<float>& illumination, float defocus_shift,
                                   double electrons_per_pixel);
