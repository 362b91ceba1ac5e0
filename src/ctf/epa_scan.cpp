#include "ctf/epa_scan.h"

#include <math.h>

#include "stats/host_stats.h"

namespace {

// trunc(2 M apix / res) within [0, M - 1]; a resolution that is not positive gives M - 1.
int resolution_index(int M, float apix, float res) {
  const double index = 2.0 * M * apix / res;
  if (!(index >= 0.0) || !(res > 0.0f)) return M - 1;
  return index >= M - 1 ? M - 1 : static_cast<int>(index);
}

// Half-width of the smoothing window and 2 sigma^2 of its Gaussian (sigma = 20/3 samples).
constexpr int kSmoothHalf = 10;
constexpr float kSmoothTwoSigma2 = 88.888885f;

}  // namespace

EpaScanRange epa_scan_range(int M, int nh, float apix, float resL, float resH) {
  EpaScanRange r;
  r.M = M > 0 ? M : 0;
  M = r.M;
  r.iL = resolution_index(M, apix, resL);
  r.iH = resolution_index(M, apix, resH);
  r.Wmax = 256 * nh / 513;
  r.Wmin = 64 * nh / 513;
  r.first = r.iL + 1;
  r.end = r.iH - r.Wmin - 10;
  return r;
}

float epa_scan_resolution(int i, int M, float apix) { return 2.0f * M * apix / i; }

std::vector<float> epa_local_correlation(const float* epa, const float* sim, const EpaScanRange& range) {
  const int M = range.M, iL = range.iL, Wmax = range.Wmax, Wmin = range.Wmin;
  const int start = Wmax / 2 + iL, stop = range.iH - Wmin;
  std::vector<float> cc(M, 0.0f);
  for (int i = 0; i < start && i < M; ++i) cc[i] = 1.0f;
  std::vector<float> p(Wmax > 0 ? Wmax : 1), q(p.size());
  for (int i = start; i < stop; ++i) {
    const float shrink = static_cast<float>(i - iL) * static_cast<float>(Wmin - Wmax) / static_cast<float>(stop - iL);
    const int L = static_cast<int>(shrink + static_cast<float>(Wmax));
    const int from = i - L / 2;
    if (L < 1 || L > Wmax || from < 0 || from + L > M) continue;
    for (int k = 0; k < L; ++k) {
      p[k] = epa[from + k];
      q[k] = sim[from + k];
    }
    const float c = hm_ccc_norm_inplace(p.data(), q.data(), L);
    cc[i] = c >= -1.0f && c <= 1.0f ? c : 0.0f;  // also 0 for NaN
  }
  return cc;
}

std::vector<float> epa_smooth_correlation(const std::vector<float>& cc, const EpaScanRange& range) {
  std::vector<float> sm = cc;
  const int M = static_cast<int>(cc.size());
  const int end1 = range.iH - 20 - 10, end2 = range.iH - range.Wmin - 10;
  for (int i = range.iL + 1; i < end1 && i < end2 && i < M; ++i) {
    float sum = 0.0f, weights = 0.0f;
    for (int j = i - kSmoothHalf; j < i + kSmoothHalf; ++j) {
      if (j < 0 || j >= M) continue;
      const float g = expf(-static_cast<float>((j - i) * (j - i)) / kSmoothTwoSigma2);
      sum += cc[j] * g;
      weights += g;
    }
    sm[i] = sum / weights;
  }
  return sm;
}

int epa_limit_index(const std::vector<float>& smoothed, const EpaScanRange& range, float apix, float threshold) {
  if (range.empty()) return -1;
  for (int i = range.first; i < range.end; ++i)
    if (smoothed[i] < 0.0f && epa_scan_resolution(i, range.M, apix) < threshold) return i;
  return range.end - 1;
}
