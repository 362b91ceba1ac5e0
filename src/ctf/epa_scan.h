// Where the EPA of a spectrum stops following the simulated CTF: the local correlation of the two
// profiles in windows that shrink toward high resolution, its smoothing, and the scan for the
// first resolution at which the smoothed correlation turns negative. Host arrays of M samples
// (profiles of epa_profile_length samples, sample i at resolution about 2 M apix / i Angstrom).
#pragma once

#include <vector>

// The index bounds and window lengths of one scan.
struct EpaScanRange {
  int M;
  int iL, iH;      // trunc(2 M apix / resL), trunc(2 M apix / resH), within [0, M - 1]
  int Wmax, Wmin;  // window lengths trunc(256 nh / 513), trunc(64 nh / 513)
  int first, end;  // scanned samples first <= i < end: iL + 1 and iH - Wmin - 10
  bool empty() const { return first >= end; }
};

EpaScanRange epa_scan_range(int M, int nh, float apix, float resL, float resH);

// The resolution (Angstrom) the scan reports for sample i: 2 M apix / i.
float epa_scan_resolution(int i, int M, float apix);

// cc[i]: 1 below Wmax/2 + iL; from there while i < iH - Wmin the Pearson correlation of epa and
// sim over a window of L samples centred on i, L shrinking linearly from Wmax toward Wmin; a
// correlation outside [-1, 1] or not a number (a window of zero variance) is 0; 0 beyond.
std::vector<float> epa_local_correlation(const float* epa, const float* sim, const EpaScanRange& range);

// cc smoothed by a Gaussian of 20 samples (sigma 20/3) on iL < i < min(iH - 30, iH - Wmin - 10);
// other samples are copied. Samples outside the profile do not enter (nor their weights).
std::vector<float> epa_smooth_correlation(const std::vector<float>& cc, const EpaScanRange& range);

// The first scanned sample whose smoothed correlation is negative at a resolution finer than
// threshold (Angstrom); the last scanned sample when there is none; -1 when the scan is empty.
int epa_limit_index(const std::vector<float>& smoothed, const EpaScanRange& range, float apix, float threshold);
