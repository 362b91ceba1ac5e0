#include "ctf/epa_profile.h"

#include <math.h>
#include <string.h>

#include <cmath>
#include <memory>
#include <vector>

#include "backend/launch.h"
#include "backend/memory.h"
#include "backend/workspace.h"
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
// band's width, not with the square of the profile length.
//
// r1, r2 and the spreads depend on the pixel only through c = pi lambda Z of its direction. The
// directions are cut into kDirections bins, and each bin's values for every sample are computed
// once, at the c of the bin's middle direction c_b; a pixel takes r1 to first order in its own
// c - c_b (dr1/dc = -r1 / (2 sqrt(c^2 - 4 k g)), exact) and the spreads as the bin has them (their
// relative change across a bin is below 1e-3 even for an astigmatism of a tenth of the defocus).
// The pixels are visited bin by bin, nearest first, so that a bin's values stay in the cache.
//
// For sums that do not depend on how the work is spread, the pixels in that order are cut into
// chunks that keep their own sums per sample, added in chunk order at the end; each chunk's
// samples are split into ranges, one work item per (chunk, range) writing only its own sums.

namespace {

// Work items, one per (chunk of pixels, range of samples): enough to spread over the CPU threads
// and to fill a GPU. The ranges hold at least kMinGroups groups of samples (fewer ranges on short
// profiles, as a pixel visits every range its samples touch), at most kMaxRanges; the chunks make
// up the rest. The chunks fix the order of every sum, on both backends.
constexpr int kWorkItems = 16384;
constexpr int kMaxRanges = 64;
constexpr int kMinGroups = 4;
// Samples are visited in groups of kLanes, so that the CPU loop over a group vectorises without a
// scalar remainder; the ranges of samples of the work items start and end on multiples of kLanes.
constexpr int kLanes = 8;
// Pixels per block; a block keeps the union of its pixels' sample ranges, so that a work item
// skips the blocks that cannot touch its samples. Chunks hold whole blocks.
constexpr int kBlock = 16;
// Bins of directions over -pi/2 <= theta <= pi/2.
constexpr int kDirections = 512;

constexpr float kHalfPi = static_cast<float>(kPi / 2);
// How far (radians) a pixel's phase may lie from a sample's for the pixel to count.
constexpr float kPhaseReach = static_cast<float>(0.75 * kPi);

// The pixels of one half-spectrum geometry in the order they are visited (the centre left out),
// with what does not depend on the CTF: index y nh + x, bin, radius, cos 2 theta and sin 2 theta
// of the direction (as epa_pixel has them) and the 1/r density of evenly spaced directions,
// halved on each edge. Per bin, cos 2 theta and sin 2 theta of its middle direction.
struct DirectionOrder {
  int nh = 0, ny = 0, count = 0;
  DeviceBuffer<int> pixel, bin;
  DeviceBuffer<float> r, cos2, sin2, scale;
  DeviceBuffer<float> bin_cos2, bin_sin2;
};

struct DirectionOrders {
  std::vector<std::unique_ptr<DirectionOrder>> kept;
};

// The bins of the directions of one row (y - y0 = dy) of the half spectrum, x = 0 .. nh - 1: bin b
// holds -pi/2 + b pi/kDirections <= theta < -pi/2 + (b + 1) pi/kDirections, theta = atan2(dy, x)
// (pi/2 itself in the last bin). Along a row theta moves one way, so the bin is walked, not searched;
// theta >= theta_k is tested as dy cos theta_k - x sin theta_k >= 0, in double.
void row_direction_bins(int dy, int nh, const std::vector<double>& cos_k, const std::vector<double>& sin_k, int* bins) {
  int b = dy >= 0 ? kDirections - 1 : 0;
  for (int x = 0; x < nh; ++x) {
    const auto at_or_above = [&](int k) { return dy * cos_k[k] - x * sin_k[k] >= 0.0; };
    while (b > 0 && !at_or_above(b)) --b;
    while (b + 1 < kDirections && at_or_above(b + 1)) ++b;
    bins[x] = b;
  }
}

std::unique_ptr<DirectionOrder> make_direction_order(int nh, int ny) {
  auto order = std::make_unique<DirectionOrder>();
  order->nh = nh;
  order->ny = ny;
  const int y0 = ny / 2;
  std::vector<double> cos_k(kDirections), sin_k(kDirections);
  for (int k = 0; k < kDirections; ++k) {
    const double theta = -kPi / 2 + k * kPi / kDirections;
    cos_k[k] = std::cos(theta);
    sin_k[k] = std::sin(theta);
  }
  // A counting sort by (bin, whole radius), row order within: every pixel's key, then its place.
  const int radii = static_cast<int>(std::sqrt(static_cast<double>(nh) * nh + static_cast<double>(ny) * ny)) + 2;
  const size_t pixels = static_cast<size_t>(nh) * ny;
  std::vector<int> key(pixels), row_bins(nh);
  std::vector<int> start(static_cast<size_t>(kDirections) * radii + 1, 0);
  for (int y = 0; y < ny; ++y) {
    const int dy = y - y0;
    row_direction_bins(dy, nh, cos_k, sin_k, row_bins.data());
    for (int x = 0; x < nh; ++x) {
      const size_t at = static_cast<size_t>(y) * nh + x;
      const int radius = static_cast<int>(std::sqrt(static_cast<double>(x) * x + static_cast<double>(dy) * dy));
      key[at] = x == 0 && dy == 0 ? -1 : row_bins[x] * radii + radius;  // the centre is left out
      if (key[at] >= 0) ++start[key[at] + 1];
    }
  }
  for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  const size_t count = static_cast<size_t>(start.back());
  std::vector<int> pixel(count), bin(count);
  for (size_t at = 0; at < pixels; ++at) {
    if (key[at] < 0) continue;
    const int place = start[key[at]]++;
    pixel[place] = static_cast<int>(at);
    bin[place] = key[at] / radii;
  }
  std::vector<float> r(count), cos2(count), sin2(count), scale(count);
  for (size_t j = 0; j < count; ++j) {
    const int at = pixel[j], x = at % nh, y = at / nh;
    const float dx = static_cast<float>(x), dy = static_cast<float>(y - y0);
    const float rr = dx * dx + dy * dy;
    r[j] = sqrtf(rr);
    cos2[j] = (dx * dx - dy * dy) / rr;
    sin2[j] = 2.0f * dx * dy / rr;
    const bool edge_x = x == 0 || x == nh - 1, edge_y = y == 0 || y == ny - 1;
    scale[j] = 0.39894228f / r[j] * (edge_x ? 0.5f : 1.0f) * (edge_y ? 0.5f : 1.0f);
  }
  std::vector<float> bin_cos2(kDirections), bin_sin2(kDirections);
  for (int b = 0; b < kDirections; ++b) {
    const double theta = -kPi / 2 + (b + 0.5) * kPi / kDirections;
    bin_cos2[b] = static_cast<float>(std::cos(2.0 * theta));
    bin_sin2[b] = static_cast<float>(std::sin(2.0 * theta));
  }
  order->count = static_cast<int>(count);
  order->pixel = device_copy_of(pixel);
  order->bin = device_copy_of(bin);
  order->r = device_copy_of(r);
  order->cos2 = device_copy_of(cos2);
  order->sin2 = device_copy_of(sin2);
  order->scale = device_copy_of(scale);
  order->bin_cos2 = device_copy_of(bin_cos2);
  order->bin_sin2 = device_copy_of(bin_sin2);
  return order;
}

// The order of an nh x ny geometry, made once and kept in the workspace (a few geometries).
const DirectionOrder& direction_order(int nh, int ny) {
  std::vector<std::unique_ptr<DirectionOrder>>& kept = workspace().attachment<DirectionOrders>().kept;
  for (const auto& order : kept)
    if (order->nh == nh && order->ny == ny) return *order;
  if (kept.size() == 4) kept.erase(kept.begin());
  kept.push_back(make_direction_order(nh, ny));
  return *kept.back();
}

struct EpaSetup {
  int M, nh, ny;
  int first, end;              // samples first <= i < end lie inside the band; the others are 0
  int lanes_first, lanes_end;  // first and end rounded outward to multiples of kLanes
  int ranges, chunks, blocks_per_chunk, blocks, count;
  int row_blocks;        // blocks of kBlock pixels across a row
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

// c = pi lambda Z of the direction with cos 2 theta and sin 2 theta.
QUIB_HD inline float direction_c(const EpaSetup& e, float cos2, float sin2) {
  return e.pl * (e.z_mean + e.z_half * (cos2 * e.cos2A + sin2 * e.sin2A));
}

// Radius (pixels) and c = pi lambda Z of the direction of pixel (x, y); c is NaN at the centre.
struct EpaPixel {
  float r, c;
};

QUIB_HD inline EpaPixel epa_pixel(const EpaSetup& e, int x, int y) {
  const float dx = static_cast<float>(x), dy = static_cast<float>(y - e.y0);
  const float rr = dx * dx + dy * dy;
  return {sqrtf(rr), direction_c(e, (dx * dx - dy * dy) / rr, 2.0f * dx * dy / rr)};
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

// What a visit of a pixel needs, in visiting order.
struct VisitPixel {
  float r;                      // radius, pixels
  float dc;                     // c - c_b of its direction and its bin's middle
  float phase_low, phase_high;  // its phase less and plus kPhaseReach
  float scale;                  // the 1/r density of evenly spaced directions, halved on each edge
  int bin;
  SampleRange samples;
};

// Each bin's values for every sample i < lanes_end, a table of kDirections rows per quantity.
struct BinTables {
  float *near, *slope, *inverse, *sigma, *limit;
};

// At the bin's middle direction c_b, sample i's r1 (0 when the sample's phase is not reached on it)
// and dr1/dc, 1 / sigma', sigma, and the band's far end min(r2 - r1, 10 sigma) (NaN when not
// reached, which no comparison passes).
// Each launch index fills a group of kLanes samples of one bin: into local arrays first, which
// nothing can alias, so that the loop over the group vectorises, then copied into the tables.
void fill_bin_tables(const EpaSetup& e, const DirectionOrder& order, const BinTables& t) {
  const size_t L = static_cast<size_t>(e.lanes_end);
  const float *cos2 = order.bin_cos2.get(), *sin2 = order.bin_sin2.get(), *gamma = e.gamma;
  const float k = e.k, pixels = e.pixels;
  launch_2d(e.lanes_end / kLanes, kDirections, [=] QUIB_HD(int group, int b) {
    const float c = direction_c(e, cos2[b], sin2[b]), cc = c * c;
    float near[kLanes], slope[kLanes], inverse[kLanes], sigma[kLanes], limit[kLanes];
    for (int l = 0; l < kLanes; ++l) {
      const float g1 = gamma[group * kLanes + l];
      const float q1 = sqrtf(cc - 4.0f * k * g1);
      const float r1 = pixels * sqrtf(2.0f * g1 / (c + q1));
      const float r2 = pixels * sqrtf(2.0f * (g1 + kHalfPi) / (c + sqrtf(cc - 4.0f * k * (g1 + kHalfPi))));
      const bool reached = r2 > r1;
      const float span = reached ? r2 - r1 : 1.0f;
      sigma[l] = min_of(span, sqrtf(10.0f * span)) * (1.0f / 3.0f);
      near[l] = reached ? r1 : 0.0f;
      slope[l] = reached ? -0.5f * r1 / q1 : 0.0f;
      inverse[l] = 1.0f / sqrtf(sigma[l] * sigma[l] + 1.0f / 6.0f);
      limit[l] = reached ? min_of(span, 10.0f * sigma[l]) : NAN;
    }
    const size_t at = b * L + static_cast<size_t>(group) * kLanes;
    memcpy(t.near + at, near, sizeof near);
    memcpy(t.slope + at, slope, sizeof slope);
    memcpy(t.inverse + at, inverse, sizeof inverse);
    memcpy(t.sigma + at, sigma, sizeof sigma);
    memcpy(t.limit + at, limit, sizeof limit);
  });
}

// Sample ranges of every pixel, in row order.
void find_candidate_samples(const EpaSetup& e, SampleRange* ranges) {
  const int nh = e.nh;
  launch_2d(e.row_blocks, e.ny, [=] QUIB_HD(int b, int y) {
    SampleRange* row = ranges + static_cast<size_t>(y) * nh;
    const int x_first = b * kBlock, x_end = min_of(x_first + kBlock, nh);
    for (int x = x_first; x < x_end; ++x) row[x] = candidate_samples(e, x, y);
  });
}

// The visits and values of every pixel in visiting order, and each block's span of samples.
template <int kCount>
void gather_pixels(const EpaSetup& e, const DirectionOrder& order, Spectra<kCount> in, const SampleRange* ranges,
                   VisitPixel* visits, float* values, SampleRange* block_ranges) {
  const int *pixel = order.pixel.get(), *bin = order.bin.get();
  const float *r = order.r.get(), *cos2 = order.cos2.get(), *sin2 = order.sin2.get(), *scale = order.scale.get();
  const float *bin_cos2 = order.bin_cos2.get(), *bin_sin2 = order.bin_sin2.get();
  const size_t count = static_cast<size_t>(e.count);
  launch_1d(count, [=] QUIB_HD(size_t j) {
    const int at = pixel[j], b = bin[j];
    const EpaPixel p{r[j], direction_c(e, cos2[j], sin2[j])};
    const float phase = pixel_phase(e, p);
    visits[j] = VisitPixel{p.r,
                           p.c - direction_c(e, bin_cos2[b], bin_sin2[b]),
                           phase - kPhaseReach,
                           phase + kPhaseReach,
                           scale[j],
                           b,
                           ranges[at]};
    for (int c = 0; c < kCount; ++c) values[c * count + j] = in.p[c][at];
  });
  launch_1d(static_cast<size_t>(e.blocks), [=] QUIB_HD(size_t block) {
    const size_t from = block * kBlock, to = from + kBlock < count ? from + kBlock : count;
    int lo = e.end, hi = 0;
    for (size_t j = from; j < to; ++j) {
      const SampleRange r = visits[j].samples;
      const bool empty = r.lo == r.hi;
      lo = min_of(lo, empty ? e.end : r.lo);
      hi = max_of(hi, empty ? 0 : r.hi);
    }
    block_ranges[block] = lo < hi ? SampleRange{lo, hi} : SampleRange{0, 0};
  });
}

// Adds a pixel (values f) to its samples lo <= i < hi: weighted values into value[c][i], weights
// into weight[i]. The samples are visited in whole groups of kLanes, shifted back where the last
// would pass `end`, the end of the work item's samples (which span a multiple of kLanes, so the
// groups fit); samples visited beyond [lo, hi) get their exact weight, 0. A group's weights go to
// a local array first, which nothing can alias, and then into the sums: with selects instead of
// branches, both loops over the group vectorise.
template <int kCount>
QUIB_HD void add_pixel(const EpaSetup& e, const BinTables& tables, const VisitPixel& pixel, const float* f, int lo,
                       int hi, int end, float* const* value, float* weight) {
  const VisitPixel p = pixel;
  const size_t row = static_cast<size_t>(p.bin) * e.lanes_end;
  const float *gamma = e.gamma, *near = tables.near + row, *slope = tables.slope + row;
  const float *inverse = tables.inverse + row, *sigma = tables.sigma + row, *limit = tables.limit + row;
  const int groups = (hi - lo + kLanes - 1) / kLanes;
  const int first = min_of(lo, end - groups * kLanes);
  for (int group = first; group < first + groups * kLanes; group += kLanes) {
    float w[kLanes];
    for (int l = 0; l < kLanes; ++l) {
      const int i = group + l;
      const float g1 = gamma[i];
      const float d = p.r - (near[i] + p.dc * slope[i]);
      const float t = d * inverse[i];
      // the band r1 - w <= r <= min(r2, r1 + 10 sigma), both ends scaled by sigma'/sigma (w = 3 sigma)
      const bool inside = (t >= -3.0f) & (t * sigma[i] <= limit[i]) & (g1 > p.phase_low) & (g1 < p.phase_high);
      w[l] = (inside ? p.scale : 0.0f) * (sigma[i] * inverse[i]) * exp_neg(0.5f * t * t);
    }
    for (int l = 0; l < kLanes; ++l) {
      for (int n = 0; n < kCount; ++n) value[n][group + l] += w[l] * f[n];
      weight[group + l] += w[l];
    }
  }
}

// Work item (chunk, range): the sums of the chunk's pixels for the range's samples.
template <int kCount>
QUIB_HD void chunk_sums(const EpaSetup& e, const BinTables& tables, const VisitPixel* visits, const float* values,
                        const SampleRange* block_ranges, int chunk, int range, float* sums) {
  const int groups = (e.lanes_end - e.lanes_first) / kLanes;
  const int a = e.lanes_first + kLanes * static_cast<int>(static_cast<long long>(groups) * range / e.ranges);
  const int b = e.lanes_first + kLanes * static_cast<int>(static_cast<long long>(groups) * (range + 1) / e.ranges);
  float* value[kCount];
  for (int c = 0; c < kCount; ++c) value[c] = sums + static_cast<size_t>(c) * e.lanes_end;
  float* weight = sums + static_cast<size_t>(kCount) * e.lanes_end;
  for (int c = 0; c <= kCount; ++c)
    for (int i = a; i < b; ++i) sums[static_cast<size_t>(c) * e.lanes_end + i] = 0.0f;
  const int block_end = min_of((chunk + 1) * e.blocks_per_chunk, e.blocks);
  for (int block = chunk * e.blocks_per_chunk; block < block_end; ++block) {
    const SampleRange span = block_ranges[block];
    if (span.hi <= a || span.lo >= b) continue;
    const int j_end = min_of((block + 1) * kBlock, e.count);
    for (int j = block * kBlock; j < j_end; ++j) {
      const VisitPixel& p = visits[j];
      const int lo = max_of(p.samples.lo, a), hi = min_of(p.samples.hi, b);
      if (lo >= hi) continue;
      float f[kCount];
      for (int c = 0; c < kCount; ++c) f[c] = values[static_cast<size_t>(c) * e.count + j];
      add_pixel<kCount>(e, tables, p, f, lo, hi, b, value, weight);
    }
  }
}

// Scratch of the kernels, kept in the workspace between calls.
struct TablesScratch {};
struct RangesScratch {};
struct VisitsScratch {};
struct ValuesScratch {};
struct BlocksScratch {};
struct SumsScratch {};

template <int kCount>
void epa_profiles(const EpaSetup& e, const DirectionOrder& order, const float* const* in, float* const* out) {
  const int M = e.M, L = e.lanes_end;
  const size_t table = static_cast<size_t>(kDirections) * L;
  float* t = workspace().scratch<TablesScratch, float>(5 * table);
  const BinTables tables{t, t + table, t + 2 * table, t + 3 * table, t + 4 * table};
  fill_bin_tables(e, order, tables);

  Spectra<kCount> inputs;
  for (int c = 0; c < kCount; ++c) inputs.p[c] = in[c];
  SampleRange* pixel_ranges = workspace().scratch<RangesScratch, SampleRange>(static_cast<size_t>(e.nh) * e.ny);
  find_candidate_samples(e, pixel_ranges);
  VisitPixel* visits = workspace().scratch<VisitsScratch, VisitPixel>(e.count);
  float* values = workspace().scratch<ValuesScratch, float>(static_cast<size_t>(kCount) * e.count);
  SampleRange* block_ranges = workspace().scratch<BlocksScratch, SampleRange>(e.blocks);
  gather_pixels<kCount>(e, order, inputs, pixel_ranges, visits, values, block_ranges);

  const size_t stride = static_cast<size_t>(kCount + 1) * L;  // one chunk's sums
  float* sums = workspace().scratch<SumsScratch, float>(stride * e.chunks);
  const int ranges = e.ranges;
  launch_1d(static_cast<size_t>(e.chunks) * ranges, [=] QUIB_HD(size_t item) {
    const int chunk = static_cast<int>(item / ranges), range = static_cast<int>(item % ranges);
    chunk_sums<kCount>(e, tables, visits, values, block_ranges, chunk, range, sums + chunk * stride);
  });

  // Each chunk's weights are short of the walk's by the samples' direction density 2 i / 0.75,
  // which the 1e-6 that keeps an empty sample finite is measured against.
  float* out0 = out[0];
  float* out1 = out[kCount - 1];  // with one spectrum both name the same profile
  const int chunks = e.chunks, first = e.first, end = e.end;
  launch_1d(M, [=] QUIB_HD(size_t s) {
    const int i = static_cast<int>(s);
    double value[kCount] = {}, weight = 0.0;
    if (i >= first && i < end) {
      for (int chunk = 0; chunk < chunks; ++chunk) {
        const float* p = sums + chunk * stride;
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
  const DirectionOrder& order = direction_order(nh, ny);
  e.count = order.count;
  e.blocks = (e.count + kBlock - 1) / kBlock;
  e.row_blocks = (nh + kBlock - 1) / kBlock;
  const int chunks = max_of(1, min_of(kWorkItems / e.ranges, e.blocks));
  e.blocks_per_chunk = (e.blocks + chunks - 1) / chunks;
  e.chunks = e.blocks_per_chunk > 0 ? (e.blocks + e.blocks_per_chunk - 1) / e.blocks_per_chunk : 1;
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
  epa_profiles<kCount>(e, order, in, out);
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
