#include "ctf/bfactor.h"

#include <math.h>

#include <vector>

#include "core/report.h"
#include "stats/host_stats.h"

namespace {

constexpr const char* kUnit = "ctf_epa";

// trunc(2 (n - 1) apix / res) within [0, n].
int band_index(int n, float apix, float res) {
  const double index = 2.0 * (n - 1) * apix / res;
  if (!(index >= 0.0)) return 0;
  return index >= n ? n : static_cast<int>(index);
}

}  // namespace

float bfac_estimation_from_epa_1d2(const float* profile, float apix, int n, float r1, float r2) {
  if (r1 < r2) {
    const float t = r1;
    r1 = r2;
    r2 = t;
  }
  const int i1 = band_index(n, apix, r1), i2 = band_index(n, apix, r2);
  std::vector<float> s2;
  for (int i = i1; i < i2; ++i) {
    const float d = 2.0f * (n - 1) * apix / i;
    s2.push_back(1.0f / (d * d));
  }
  const int count = static_cast<int>(s2.size());
  float slope = NAN, intercept = NAN;
  if (count >= 2) line_fit(s2.data(), profile + i1, count, slope, intercept);
  const float B = -4.0f * slope;
  if (!isfinite(B)) {
    QUIB_WARNING(kUnit, "too few usable samples for the B-factor fit; B-factor set to 0");
    return 0.0f;
  }
  return B;
}
