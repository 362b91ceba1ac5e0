// The 1D defocus search: the defocus on a regular grid whose simulated CTF amplitude profile best
// matches the rotational average of a measured half spectrum (astigmatism ignored). It gives the
// 2D refinement its starting defocus.
#pragma once

#include <cstdio>

#include "core/ctf_records.h"

// The search's box N (the half spectrum has N/2 + 1 columns by N rows), the candidates'
// sampling (optics, envelope and band of the profiles) and the grid defL + i defS below defH
// (Angstrom).
struct DefocusSearchSettings {
  int box;
  CtfSampling sampling;
  float defL;
  float defH;
  float defS;
};

// The number of grid candidates defL + i defS (i = 0, 1, ...), all below defH: (defH - defL)/defS
// in single precision truncated toward zero, 0 when that is not a positive number. A grid too
// large to count ends the program with a message.
int defocus_grid_count(float defL, float defH, float defS);

// half: host half spectrum of the search's box; its zero-frequency element is set to 0. Scores
// every candidate's |CTF| E profile (phase shift P in degrees) by its dot product with the
// rotational average, writes one line per candidate to log, and delivers the defocus of the first
// best score. An empty grid delivers defL with a warning. Returns 0.
int quib_1D_search2(float* half, float& defocus, float P, const DefocusSearchSettings& settings, FILE* log);
