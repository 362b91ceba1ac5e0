// Per-pixel tables of the half-spectrum pixels inside one fitting band, for scoring CTF models
// without per-pixel trigonometry: only in-band pixels are listed, in increasing index order.
// Tables are kept in the calling thread's workspace (a few geometries at a time), so repeated
// requests cost nothing.
#pragma once

#include <cstddef>
#include <memory>

#include "backend/memory.h"

// Device arrays of `count` entries each. For the pixel at half-spectrum position index[i] with
// frequency s and direction theta: s2 = s^2 (1/Angstrom^2), cos2t = cos 2 theta, sin2t = sin 2 theta,
// envelope = exp(-B s^2 / 4). The band and the geometry are those of the CTF kernels.
struct BandPixels {
  size_t count = 0;
  DeviceBuffer<int> index;
  DeviceBuffer<float> s2;
  DeviceBuffer<float> cos2t;
  DeviceBuffer<float> sin2t;
  DeviceBuffer<float> envelope;
};

// The tables of an nh x ny half spectrum of pixel size apix for the band 1/resL <= s <= 1/resH
// and envelope B-factor B. The tables stay valid while the returned pointer is held.
std::shared_ptr<const BandPixels> band_pixels(float apix, int nh, int ny, float resL, float resH, float B);
