#include "ctf/epa_profile.h"

#include <math.h>

#include "backend/launch.h"
#include "backend/memory.h"
#include "core/ctf_formula.h"
#include "ctf/exp_neg.h"
#include "ctf/half_spectrum.h"

// Sample i of the profile averages the spectrum along the curve where the CTF phase gamma equals
// gamma_i, that of the x axis at s_i. On the direction of a pixel the curve crosses at radius r1
// and reaches gamma_i + pi/2 at r2; with w = r2 - r1 (sqrt(10 w) when w >= 10) and sigma = w/3,
// the band r1 - w <= r <= min(r2, r1 + 10 sigma) is weighted by a Gaussian of r - r1 of spread
// sigma. The sample is the weighted mean of the pixels.
//
// A pixel's weight is that of the average over evenly spaced directions (a density of 1/r per
// pixel) of the spectrum interpolated bilinearly. The interpolation widens the Gaussian by its
// radial variance of 1/6 pixel^2, to sigma' = sqrt(sigma^2 + 1/6), and the band with it (both
// ends scaled by sigma'/sigma); the peak is scaled by sigma/sigma', so that each direction keeps
// its total weight. Pixels on the edge of the spectrum count half, as an interpolation there sees
// only the inner side. A pixel counts only while its phase is within 3 pi/4 of gamma_i (the band
// spans about pi) and below its direction's phase maximum.
//
// Each pixel finds once the few samples whose phase lies within 3 pi/4 of its own, and adds its
// weighted value to those samples alone: the work grows with the number of pixels times the
// band's width, not with the square of the profile length. For sums that do not depend on how
// the work is spread, the rows are cut into bands that keep their own sums per sample, added in
// band order at the end; each band's samples are split into ranges, one work item per (band,
// range) writing only its own sums.

namespace {

// Work items, one per (band of rows, range of samples): enough to spread over the CPU threads and
// to fill a GPU. The ranges hold at least kMinGroups groups of samples (fewer ranges on short
// profiles, as a pixel visits every range its samples touch), at most kMaxRanges; the rows make
// up the rest. The bands fix the order of every sum, on both backends.
constexpr int kWorkItems = 16384;
constexpr int kMaxRanges = 64;
constexpr int kMinGroups = 4;
// Samples are visited in groups of kLanes, so that the CPU loop over a group vectorises without a
// scalar remainder; the ranges of samples of the work items start and end on multiples of kLanes.
constexpr int kLanes = 8;
// Pixels per row block; a block keeps the union of its pixels' sample ranges, so that a work item
// skips the blocks that cannot touch its samples.
constexpr int kBlock = 16;

constexpr float kHalfPi = static_cast<float>(kPi / 2);
// How far (radians) a pixel's phase may lie from a sample's for the pixel to count.
constexpr float kPhaseReach = static_cast<float>(0.75 * kPi);

struct EpaSetup {
  int M, nh, ny;
  int first, end;              // samples first <= i < end lie inside the band; the others are 0
  int lanes_first, lanes_end;  // first and end rounded outward to multiples of kLanes
  int ranges, rows_per_band, bands, blocks;
  const float* gamma;    // gamma_i of the samples i < lanes_end (device)
  float k;               // gamma = c s^2 - k s^4, c = pi lambda Z on the direction
  float pl;              // pi lambda
  float z_mean, z_half;  // Z(theta) = z_mean + z_half cos(2 (theta - A))
  float cos2A, sin2A;
  float pixels;                 // radius in pixels per 1/Angstrom: 2 (nh - 1) apix
  int y0;                       // row of zero frequency
  float c0;                     // c on the x axis
  float samples_per_frequency;  // 2 (M - 1) apix
  bool falls_in_band;           // the x-axis phase passes its maximum inside the band
};

// The input spectra, held by value so that a kernel can capture them.
template <int kCount>
struct Spectra {
  const float* p[kCount];
};

struct SampleRange {
  int lo, hi;  // lo <= i < hi; lo = hi when empty
};

// Radius (pixels) and c = pi lambda Z of the direction of pixel (x, y); c is NaN at the centre.
struct EpaPixel {
  float r, c;
};

QUIB_HD inline EpaPixel epa_pixel(const EpaSetup& e, int x, int y) {
  const float dx = static_cast<float>(x), dy = static_cast<float>(y - e.y0);
  const float rr = dx * dx + dy * dy;
  const float cos2 = (dx * dx - dy * dy) / rr, sin2 = 2.0f * dx * dy / rr;
  const float Z = e.z_mean + e.z_half * (cos2 * e.cos2A + sin2 * e.sin2A);
  return {sqrtf(rr), e.pl * Z};
}

QUIB_HD inline float pixel_phase(const EpaSetup& e, const EpaPixel& p) {
  const float s = p.r / e.pixels;
  return p.c * s * s - e.k * s * s * s * s;
}

// Continuous sample index where the x-axis phase reaches g while rising: 0 for g <= 0, NaN where
// g lies above the phase maximum.
QUIB_HD inline float rising_index(const EpaSetup& e, float g) {
  const float root = sqrtf(e.c0 * e.c0 - 4.0f * e.k * g);
  const float index = e.samples_per_frequency * sqrtf(2.0f * g / (e.c0 + root));
  return g > 0.0f ? index : 0.0f;
}

// The same past the phase maximum, where the phase falls back to g (infinite for k = 0).
QUIB_HD inline float falling_index(const EpaSetup& e, float g) {
  const float root = sqrtf(e.c0 * e.c0 - 4.0f * e.k * g);
  return e.samples_per_frequency * sqrtf((e.c0 + root) / (2.0f * e.k));
}

QUIB_HD inline int max_of(int a, int b) { return a > b ? a : b; }
QUIB_HD inline int min_of(int a, int b) { return a < b ? a : b; }
QUIB_HD inline float min_of(float a, float b) { return a < b ? a : b; }

// The samples that pixel (x, y) can count for: a superset (one index of margin on either side for
// rounding) of those whose phase lies within kPhaseReach of its own. Where the band holds samples
// past the x-axis phase maximum, the range runs on to the falling samples. Empty for the centre,
// a direction on which the phase does not rise, and pixels past their direction's phase maximum.
// Selects instead of branches, so that the CPU loop over a row block vectorises.
QUIB_HD inline SampleRange candidate_samples(const EpaSetup& e, int x, int y) {
  const EpaPixel p = epa_pixel(e, x, y);
  const float s = p.r / e.pixels, ss = s * s;
  const float phase = p.c * ss - e.k * ss * ss;
  const float low = phase - kPhaseReach, high = phase + kPhaseReach;
  const float from = rising_index(e, low), to = rising_index(e, high);
  const float last = static_cast<float>(e.end);
  const float falling = low > 0.0f ? falling_index(e, low) : last;
  // NaN or beyond the band (above the maximum, or k = 0) fails to < last
  const float end = (e.falls_in_band | !(to < last)) ? falling : to;
  const bool usable =
      (e.c0 > 0.0f) & (p.r > 0.0f) & (p.c > 0.0f) & (2.0f * e.k * ss < p.c) & (high > 0.0f) & (from < last);
  const int lo = max_of(static_cast<int>(usable ? from : 0.0f), e.first);
  const int hi = static_cast<int>(ceilf(min_of(end + 1.0f, last)));  // NaN becomes last
  return usable & (lo < hi) ? SampleRange{lo, hi} : SampleRange{0, 0};
}

// Sample ranges of every pixel, and of each row block the span of its pixels' ranges.
void find_candidate_samples(const EpaSetup& e, SampleRange* pixel_ranges, SampleRange* block_ranges) {
  const int nh = e.nh;
  launch_2d(e.blocks, e.ny, [=] QUIB_HD(int b, int y) {
    SampleRange* row = pixel_ranges + static_cast<size_t>(y) * nh;
    const int x_first = b * kBlock, x_end = min_of(x_first + kBlock, nh);
    for (int x = x_first; x < x_end; ++x) row[x] = candidate_samples(e, x, y);
    int lo = e.end, hi = 0;
    for (int x = x_first; x < x_end; ++x) {
      const bool empty = row[x].lo == row[x].hi;
      lo = min_of(lo, empty ? e.end : row[x].lo);
      hi = max_of(hi, empty ? 0 : row[x].hi);
    }
    block_ranges[static_cast<size_t>(y) * e.blocks + b] = lo < hi ? SampleRange{lo, hi} : SampleRange{0, 0};
  });
}

// Radius (pixels) where gamma reaches g on a direction with c and c^2: the smaller root
// s^2 = 2 g / (c + sqrt(c^2 - 4 k g)), free of cancellation and the linear solution for k = 0;
// NaN where gamma never reaches g.
QUIB_HD inline float radius_at_gamma(float pixels, float k, float c, float cc, float g) {
  return pixels * sqrtf(2.0f * g / (c + sqrtf(cc - 4.0f * k * g)));
}

// Adds pixel (x, y) to its samples lo <= i < hi: weighted values into value[c][i], weights into
// weight[i]. The samples are visited in whole groups of kLanes, shifted back where the last would
// pass `end`, the end of the work item's samples (which span a multiple of kLanes, so the groups
// fit); samples visited beyond [lo, hi) get their exact weight, 0. Selects instead of branches, and
// the setup in locals (the sums could alias it), so that the loop over a group vectorises.
template <int kCount>
QUIB_HD void add_pixel(const EpaSetup& e, int x, int y, int lo, int hi, int end, const float* const* in,
                       float* const* value, float* weight) {
  const EpaPixel p = epa_pixel(e, x, y);
  const float r = p.r, c = p.c, cc = c * c, k = e.k, pixels = e.pixels;
  const float phase = pixel_phase(e, p);
  const float phase_low = phase - kPhaseReach, phase_high = phase + kPhaseReach;
  const bool edge_x = x == 0 || x == e.nh - 1, edge_y = y == 0 || y == e.ny - 1;
  // the 1/r density of evenly spaced directions, and half weight on each edge
  const float scale = 0.39894228f / r * (edge_x ? 0.5f : 1.0f) * (edge_y ? 0.5f : 1.0f);
  const size_t at = static_cast<size_t>(y) * e.nh + x;
  float f[kCount];
  for (int n = 0; n < kCount; ++n) f[n] = in[n][at];
  const float* gamma = e.gamma;
  const int groups = (hi - lo + kLanes - 1) / kLanes;
  const int first = min_of(lo, end - groups * kLanes);
  for (int group = first; group < first + groups * kLanes; group += kLanes) {
    for (int l = 0; l < kLanes; ++l) {
      const int i = group + l;
      const float g1 = gamma[i];
      const float r1 = radius_at_gamma(pixels, k, c, cc, g1);
      const float r2 = radius_at_gamma(pixels, k, c, cc, g1 + kHalfPi);
      // A sample whose phase is not reached on this direction (NaN radii) gets a unit band that
      // `inside` drops, so that every weight stays finite.
      const bool reached = r2 > r1;
      const float near = reached ? r1 : 0.0f, far = reached ? r2 : 1.0f;
      const float span = far - near;
      const float sigma = min_of(span, sqrtf(10.0f * span)) * (1.0f / 3.0f);
      const float widened = sigma * sigma + 1.0f / 6.0f;
      const float inverse = 1.0f / sqrtf(widened);  // 1 / sigma'
      const float d = r - near;
      const float t = d * inverse;
      // the band r1 - w <= r <= min(r2, r1 + 10 sigma), both ends scaled by sigma'/sigma (w = 3 sigma)
      const bool inside =
          reached & (t >= -3.0f) & (t * sigma <= min_of(span, 10.0f * sigma)) & (g1 > phase_low) & (g1 < phase_high);
      const float g = (inside ? scale : 0.0f) * (sigma * inverse) * exp_neg(0.5f * t * t);
      for (int n = 0; n < kCount; ++n) value[n][i] += g * f[n];
      weight[i] += g;
    }
  }
}

// Work item (band, range): the sums of the band's pixels for the range's samples.
template <int kCount>
QUIB_HD void band_sums(const EpaSetup& e, const float* const* in, const SampleRange* pixel_ranges,
                       const SampleRange* block_ranges, int band, int range, float* sums) {
  const int groups = (e.lanes_end - e.lanes_first) / kLanes;
  const int a = e.lanes_first + kLanes * static_cast<int>(static_cast<long long>(groups) * range / e.ranges);
  const int b = e.lanes_first + kLanes * static_cast<int>(static_cast<long long>(groups) * (range + 1) / e.ranges);
  float* value[kCount];
  for (int c = 0; c < kCount; ++c) value[c] = sums + static_cast<size_t>(c) * e.lanes_end;
  float* weight = sums + static_cast<size_t>(kCount) * e.lanes_end;
  for (int c = 0; c <= kCount; ++c)
    for (int i = a; i < b; ++i) sums[static_cast<size_t>(c) * e.lanes_end + i] = 0.0f;
  const int y_end = min_of((band + 1) * e.rows_per_band, e.ny);
  for (int y = band * e.rows_per_band; y < y_end; ++y) {
    for (int block = 0; block < e.blocks; ++block) {
      const SampleRange span = block_ranges[static_cast<size_t>(y) * e.blocks + block];
      if (span.hi <= a || span.lo >= b) continue;
      const int x_end = min_of((block + 1) * kBlock, e.nh);
      for (int x = block * kBlock; x < x_end; ++x) {
        const SampleRange r = pixel_ranges[static_cast<size_t>(y) * e.nh + x];
        const int lo = max_of(r.lo, a), hi = min_of(r.hi, b);
        if (lo < hi) add_pixel<kCount>(e, x, y, lo, hi, b, in, value, weight);
      }
    }
  }
}

template <int kCount>
void epa_profiles(const EpaSetup& e, const float* const* in, float* const* out) {
  const int M = e.M;
  const size_t pixels = static_cast<size_t>(e.nh) * e.ny;
  DeviceBuffer<SampleRange> pixel_ranges(pixels), block_ranges(static_cast<size_t>(e.blocks) * e.ny);
  find_candidate_samples(e, pixel_ranges.get(), block_ranges.get());

  Spectra<kCount> inputs;
  for (int c = 0; c < kCount; ++c) inputs.p[c] = in[c];
  const int L = e.lanes_end;
  const size_t stride = static_cast<size_t>(kCount + 1) * L;  // one band's sums
  DeviceBuffer<float> partial(stride * e.bands);
  float* sums = partial.get();
  const SampleRange* pixel = pixel_ranges.get();
  const SampleRange* block = block_ranges.get();
  const int ranges = e.ranges;
  launch_1d(static_cast<size_t>(e.bands) * ranges, [=] QUIB_HD(size_t item) {
    const int band = static_cast<int>(item / ranges), range = static_cast<int>(item % ranges);
    band_sums<kCount>(e, inputs.p, pixel, block, band, range, sums + band * stride);
  });

  // Each band's weights are short of the walk's by the samples' direction density 2 i / 0.75, which
  // the 1e-6 that keeps an empty sample finite is measured against.
  float* out0 = out[0];
  float* out1 = out[kCount - 1];  // with one spectrum both name the same profile
  const int bands = e.bands, first = e.first, end = e.end;
  launch_1d(M, [=] QUIB_HD(size_t s) {
    const int i = static_cast<int>(s);
    double value[kCount] = {}, weight = 0.0;
    if (i >= first && i < end) {
      for (int band = 0; band < bands; ++band) {
        const float* p = sums + band * stride;
        for (int c = 0; c < kCount; ++c) value[c] += p[static_cast<size_t>(c) * L + i];
        weight += p[static_cast<size_t>(kCount) * L + i];
      }
    }
    const double density = 2.0 * i / 0.75;
    const float norm = 1e-6f + static_cast<float>(weight * density);
    out0[i] = static_cast<float>(value[0] * density) / norm;
    out1[i] = static_cast<float>(value[kCount - 1] * density) / norm;
  });
}

// The samples inside the band 1/resL < s < 1/resH, as first <= i < end.
void band_samples(int M, float apix, RESO band, int& first, int& end) {
  first = 0;
  while (first < M && !(profile_frequency(first, M, apix) > 1.0f / band.low)) ++first;
  end = first;
  while (end < M && profile_frequency(end, M, apix) < 1.0f / band.high) ++end;
}

template <int kCount>
void run_epa(int ov, int nh, int ny, const Optics& optics, const CtfModel& model, RESO band, const float* const* in,
             float* const* out) {
  EpaSetup e;
  e.M = epa_profile_length(nh, ov);
  if (e.M < 1 || nh < 1 || ny < 1) return;
  e.nh = nh;
  e.ny = ny;
  band_samples(e.M, optics.apix, band, e.first, e.end);
  e.lanes_first = e.first / kLanes * kLanes;
  e.lanes_end = (e.end + kLanes - 1) / kLanes * kLanes;
  e.ranges = max_of(1, min_of((e.lanes_end - e.lanes_first) / kLanes / kMinGroups, kMaxRanges));
  const int bands = kWorkItems / e.ranges;
  e.rows_per_band = (ny + bands - 1) / bands;
  e.bands = (ny + e.rows_per_band - 1) / e.rows_per_band;
  e.blocks = (nh + kBlock - 1) / kBlock;
  const float U = model.defocus_u, V = model.defocus_v, A = model.angle;
  const double lambda = optics.lambda;
  const float c0 = static_cast<float>(kPi * lambda * effective_defocus(U, V, A, 0.0f));
  e.k = static_cast<float>(0.5 * kPi * (1e7 * static_cast<double>(optics.Cs)) * lambda * lambda * lambda);
  e.pl = static_cast<float>(kPi * lambda);
  e.z_mean = 0.5f * (U + V);
  e.z_half = 0.5f * (U - V);
  const double two_a = 2.0 * A * kPi / 180.0;
  e.cos2A = static_cast<float>(cos(two_a));
  e.sin2A = static_cast<float>(sin(two_a));
  e.pixels = 2.0f * (nh - 1) * optics.apix;
  e.y0 = ny / 2;
  e.c0 = c0;
  e.samples_per_frequency = 2.0f * (e.M - 1) * optics.apix;
  e.falls_in_band = e.k > 0.0f && e.end - 1 > e.samples_per_frequency * sqrtf(e.c0 / (2.0f * e.k));

  // gamma_i as the x axis has it: coefficients rounded to single, the rest in single precision
  DeviceBuffer<float> gamma(static_cast<size_t>(e.lanes_end));
  float* g = gamma.get();
  const int M = e.M;
  const float apix = optics.apix, k = e.k;
  launch_1d(e.lanes_end, [=] QUIB_HD(size_t i) {
    const float s = profile_frequency(static_cast<int>(i), M, apix);
    g[i] = c0 * s * s - k * s * s * s * s;
  });
  e.gamma = g;
  epa_profiles<kCount>(e, in, out);
}

}  // namespace

int epa_profile_length(int nh, int ov) { return (nh - 1) * ov + 1; }

void hcuda_2d_half_EPA_X_res(const float* in, float* out, int ov, int nh, int ny, const Optics& optics,
                             const CtfModel& model, RESO band) {
  const float* inputs[1] = {in};
  float* outputs[1] = {out};
  run_epa<1>(ov, nh, ny, optics, model, band, inputs, outputs);
}

void hcuda_2d_half_EPA_X_res_pair(const float* const in[2], float* const out[2], int ov, int nh, int ny,
                                  const Optics& optics, const CtfModel& model, RESO band) {
  run_epa<2>(ov, nh, ny, optics, model, band, in, out);
}
