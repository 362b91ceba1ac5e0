// How the microscope and the detector pass the specimen's spectrum into the image, on the
// half-complex FFT grid of an nx x ny image (nx/2 + 1 columns, rows in the usual FFT order):
// CTF(s, theta) times the envelope exp(-B s^2 / 4) and the detector MTF. The frequency of element
// (kx, ky) is s = sqrt((kx / (nx apix))^2 + (ky / (ny apix))^2) in the direction
// theta = atan2(ky / (ny apix), kx / (nx apix)), the defocus there effective_defocus(U, V, A, theta).
#pragma once

#include <cstddef>
#include <vector>

#include "backend/float2.h"
#include "simulate/sim_params.h"

struct TransferTable {
  int nh = 0;  // nx / 2 + 1
  int ny = 0;
  float lambda = 0, Cs = 0, phase_shift = 0, ac = 0;
  std::vector<float> s;        // spatial frequency, 1/Angstrom
  std::vector<float> defocus;  // effective defocus of the untilted specimen, Angstrom
  std::vector<float> damping;  // envelope times MTF; 0 at zero frequency (the unscattered beam)
};

// The signed frequency index of row r of an n-row FFT (the usual order, odd n included).
inline int fft_frequency_index(int r, int n) { return r < (n + 1) / 2 ? r : r - n; }

// The detector MTF of a counting detector that integrates over square pixels is
// sinc(pi fx) sinc(pi fy), fx and fy in cycles per pixel; this is one factor, sinc(pi f). The
// product falls smoothly to 0.41 at the corner of the spectrum without oscillating.
float detector_mtf_factor(double f);

TransferTable make_transfer_table(const SimParams& p);

// The frequency above which the envelope exp(-B s^2 / 4) leaves less than 5% of the signal, at
// most `limit` (1/Angstrom).
double envelope_band_limit(float bfac, double limit);

// The transfer of a series of layers whose defocus rises by `step` Angstrom from one to the
// next. The CTF phase chi of every element then advances by pi lambda step s^2 per layer; it is
// tracked as the unit complex number (cos chi, sin chi), so each layer costs one complex product
// per element instead of new sines.
struct LayerSweep {
  float step;
  std::vector<float2> phase;    // (cos chi, sin chi) of the current layer
  std::vector<float2> advance;  // (cos, sin) of the phase step per layer; empty when step is 0
};

// The sweep whose first layer has `dz` Angstrom added to the defocus; chi from ctf_chi.
LayerSweep start_layer_sweep(const TransferTable& t, float dz, float step);

// acc[i] += in[i] * CTF E MTF of the current layer, with the CTF sqrt(1 - w^2) sin chi + w cos chi;
// then moves the sweep on to the next layer.
void accumulate_layer(const TransferTable& t, LayerSweep& sweep, const float2* in, float2* acc);
