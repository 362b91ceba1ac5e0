#include "ctf/epa_profile.h"

#include <math.h>

#include "backend/launch.h"
#include "backend/memory.h"
#include "core/ctf_formula.h"
#include "ctf/epa_geometry.h"
#include "ctf/exp_neg.h"
#include "ctf/half_spectrum.h"

// Sample i of the profile averages the spectrum along the curve where the CTF phase gamma equals
// that of the x axis at s_i. On directions theta = -pi/2 + j 0.75/i (theta < pi/2) the curve
// crosses at radius r1 and reaches gamma + pi/2 at r2; the points r = r1 - w, r1 - w + 1/2, ... up
// to r2 (w = r2 - r1, or sqrt(10 w) when w >= 10) that lie on the spectrum are interpolated
// bilinearly and weighted by a Gaussian of sigma w/3 around r1; the sample is the weighted mean.
//
// The work grows with the square of the profile length, so it is arranged for speed: the
// directions of a sample are split into chunks, one thread each; a thread walks kLanes
// neighbouring directions side by side (their radii differ little), so the CPU loop over lanes
// vectorises; direction cosines come from rotations in double precision instead of trigonometric
// calls; all spectra share one walk. Results stay within rounding of the plain evaluation.

namespace {

constexpr int kLanes = 8;
constexpr int kDirectionChunks = 32;

template <int kCount>
struct EpaSetup {
  const uint64_t* pairs[kCount];  // the spectra as horizontal neighbour pairs
  int M, nh, ny;
  float apix, resL, resH;
  float c0, k;           // x-axis phase gamma = c0 s^2 - k s^4, coefficients rounded to single
  float pl;              // pi lambda
  float z_mean, z_half;  // Z(theta) = z_mean + z_half cos(2 (theta - A))
  float cos2A, sin2A;
  float pixels;  // radius in pixels per 1/Angstrom: 2 (nh - 1) apix
  float y0;      // row of zero frequency
};

// Up to kLanes neighbouring directions of one sample: their unit vectors, the radius r1 of the
// sample's phase, the first radius, the Gaussian's 1/(2 sigma^2), and the number of radius steps
// (0 for a direction on which the phase is never reached).
struct DirectionBlock {
  int lanes;
  float ct[kLanes], st[kLanes], r1[kLanes], start[kLanes], a[kLanes];
  int steps[kLanes];
};

// The radius (pixels) where gamma reaches g on a direction with c = pi lambda Z: the smaller root
// s^2 = 2 g / (c + sqrt(c^2 - 4 k g)) (free of cancellation, and the linear solution for k = 0).
// NaN where gamma never reaches g.
template <int kCount>
QUIB_HD inline float radius_at_gamma(const EpaSetup<kCount>& e, float c, float g) {
  const double discriminant = static_cast<double>(c) * c - 4.0 * static_cast<double>(e.k) * g;
  return e.pixels * sqrtf(2.0f * g / (c + sqrtf(static_cast<float>(discriminant))));
}

QUIB_HD inline float min_of(float a, float b) { return a < b ? a : b; }

// Directions first .. first + lanes - 1, with cos(phi), sin(phi) of phi = first * step given;
// lane_cos/lane_sin hold cos and sin of l * step. Selects instead of branches, so that the loop
// can vectorise.
template <int kCount>
QUIB_HD void direction_block(const EpaSetup<kCount>& e, double cos_phi, double sin_phi, const double* lane_cos,
                             const double* lane_sin, int lanes, float gamma1, float gamma2, DirectionBlock& d) {
  // No point farther than this from the centre lies on the spectrum.
  const float reach = static_cast<float>(e.nh + e.ny);
  d.lanes = lanes;
  for (int l = 0; l < lanes; ++l) {
    // theta = phi - pi/2: cos(theta) = sin(phi), sin(theta) = -cos(phi)
    const float ct = static_cast<float>(sin_phi * lane_cos[l] + cos_phi * lane_sin[l]);
    const float st = static_cast<float>(sin_phi * lane_sin[l] - cos_phi * lane_cos[l]);
    const float Z = e.z_mean + e.z_half * ((ct * ct - st * st) * e.cos2A + 2.0f * ct * st * e.sin2A);
    const float c = e.pl * Z;
    const float r1 = radius_at_gamma(e, c, gamma1);
    const float r2 = radius_at_gamma(e, c, gamma2);
    // Unused: the phase is not reached on this direction (NaN radii), or only off the spectrum.
    // Such a lane gets r1 = r2 = 0 and no steps. Every value below is computed in every lane and
    // only selected, never branched on, so that the loop vectorises where the compiler may ignore
    // errno and floating-point traps (-fno-math-errno -fno-trapping-math).
    const bool used = (r2 > r1) & (r1 < reach);
    const float near = used ? r1 : 0.0f, far = used ? r2 : 0.0f;
    const float span = far - near;
    // span, or sqrt(10 span) when span >= 10: the smaller of the two
    const float w = min_of(span, sqrtf(10.0f * span));
    const float sigma = w / 3.0f;
    // The walk from r1 - w to r2 is cut where nothing can count: before -reach and after reach
    // (off the spectrum), and beyond 10 sigma (weights below 1e-21 of the peak). This keeps every
    // coordinate small and every weight a normal float.
    const float start = near - w < -reach ? -reach : near - w;
    const float stop = min_of(min_of(far, near + 10.0f * sigma), reach);
    d.ct[l] = ct;
    d.st[l] = st;
    d.r1[l] = near;
    d.start[l] = start;
    d.a[l] = 1.0f / (2.0f * sigma * sigma);
    d.steps[l] = static_cast<int>((stop - start) * 2.0f + (used ? 1.0f : 0.0f));
  }
}

// Adds the weighted values and weights of the points of one direction block, lane by lane.
template <int kCount>
QUIB_HD void accumulate_block(const EpaSetup<kCount>& e, const DirectionBlock& d, float (*value)[kLanes],
                              float* weight) {
  int steps = 0;
  for (int l = 0; l < d.lanes; ++l) steps = d.steps[l] > steps ? d.steps[l] : steps;
  const float xmax = static_cast<float>(e.nh - 1), ymax = static_cast<float>(e.ny - 1);
  for (int n = 0; n < steps; ++n) {
    // Plain comparisons and integer selects only: the loop over the lanes vectorises on the CPU.
    for (int l = 0; l < d.lanes; ++l) {
      const float r = d.start[l] + 0.5f * n;
      const float x = r * d.ct[l], y = r * d.st[l] + e.y0;
      const float dr = r - d.r1[l];
      const bool inside = (n < d.steps[l]) & (x >= 0.0f) & (x <= xmax) & (y >= 0.0f) & (y <= ymax);
      const float g = (inside ? 0.39894228f : 0.0f) * exp_neg(dr * dr * d.a[l]);
      for (int c = 0; c < kCount; ++c) value[c][l] += g * bilinear_half(e.pairs[c], x, y, e.nh, e.ny);
      weight[l] += g;
    }
  }
}

// Weighted sums of chunk `chunk` of the directions of sample i: kCount value sums, then the
// weight sum.
template <int kCount>
QUIB_HD void epa_chunk_sums(const EpaSetup<kCount>& e, int i, int chunk, float* sums) {
  float value[kCount][kLanes] = {};
  float weight[kLanes] = {};
  const float s = profile_frequency(i, e.M, e.apix);
  if (s > 1.0f / e.resL && s < 1.0f / e.resH) {
    const float gamma1 = e.c0 * s * s - e.k * s * s * s * s;
    const float gamma2 = gamma1 + static_cast<float>(kPi / 2);
    const double step = 0.75 / i;
    const int count = ring_direction_count(step);
    const int blocks = (count + kLanes - 1) / kLanes;
    const int first = blocks * chunk / kDirectionChunks, last = blocks * (chunk + 1) / kDirectionChunks;
    double lane_cos[kLanes], lane_sin[kLanes];
    for (int l = 0; l < kLanes; ++l) {
      lane_cos[l] = cos(l * step);
      lane_sin[l] = sin(l * step);
    }
    const double block_cos = cos(kLanes * step), block_sin = sin(kLanes * step);
    double cos_phi = cos(first * kLanes * step), sin_phi = sin(first * kLanes * step);
    for (int b = first; b < last; ++b) {
      DirectionBlock d;
      const int lanes = count - b * kLanes < kLanes ? count - b * kLanes : kLanes;
      direction_block(e, cos_phi, sin_phi, lane_cos, lane_sin, lanes, gamma1, gamma2, d);
      accumulate_block(e, d, value, weight);
      const double next_cos = cos_phi * block_cos - sin_phi * block_sin;
      sin_phi = sin_phi * block_cos + cos_phi * block_sin;
      cos_phi = next_cos;
    }
  }
  for (int c = 0; c <= kCount; ++c) {
    const float* lanes = c < kCount ? value[c] : weight;
    float total = 0.0f;
    for (int l = 0; l < kLanes; ++l) total += lanes[l];
    sums[c] = total;
  }
}

template <int kCount>
void epa_profiles(EpaSetup<kCount> e, const float* const* in, float* const* out) {
  const int M = e.M;
  if (M < 1 || e.nh < 1 || e.ny < 1) return;
  DeviceBuffer<uint64_t> pairs(static_cast<size_t>(e.nh) * e.ny * kCount);
  for (int c = 0; c < kCount; ++c) {
    e.pairs[c] = pairs.get() + static_cast<size_t>(e.nh) * e.ny * c;
    hcuda_2d_half_pack_pairs(pairs.get() + static_cast<size_t>(e.nh) * e.ny * c, in[c], e.nh, e.ny);
  }
  const size_t stride = kCount + 1;
  DeviceBuffer<float> partial(static_cast<size_t>(M) * kDirectionChunks * stride);
  float* sums = partial.get();
  // Items run chunk-major, so neighbouring threads work on samples of similar cost.
  launch_1d(static_cast<size_t>(M) * kDirectionChunks, [=] QUIB_HD(size_t item) {
    epa_chunk_sums(e, static_cast<int>(item % M), static_cast<int>(item / M), sums + item * stride);
  });
  // With one spectrum both name the same profile.
  float* out0 = out[0];
  float* out1 = out[kCount - 1];
  launch_1d(M, [=] QUIB_HD(size_t i) {
    double value[kCount] = {}, weight = 0.0;
    for (int chunk = 0; chunk < kDirectionChunks; ++chunk) {
      const float* p = sums + (static_cast<size_t>(chunk) * M + i) * stride;
      for (int c = 0; c < kCount; ++c) value[c] += p[c];
      weight += p[kCount];
    }
    const float norm = 1e-6f + static_cast<float>(weight);
    out0[i] = static_cast<float>(value[0]) / norm;
    out1[i] = static_cast<float>(value[kCount - 1]) / norm;
  });
}

template <int kCount>
EpaSetup<kCount> epa_setup(int ov, int nh, int ny, const Optics& optics, const CtfModel& model, RESO band) {
  EpaSetup<kCount> e;
  e.M = epa_profile_length(nh, ov);
  e.nh = nh;
  e.ny = ny;
  e.apix = optics.apix;
  e.resL = band.low;
  e.resH = band.high;
  const float U = model.defocus_u, V = model.defocus_v, A = model.angle;
  const double lambda = optics.lambda;
  e.c0 = static_cast<float>(kPi * lambda * effective_defocus(U, V, A, 0.0f));
  e.k = static_cast<float>(0.5 * kPi * (1e7 * static_cast<double>(optics.Cs)) * lambda * lambda * lambda);
  e.pl = static_cast<float>(kPi * lambda);
  e.z_mean = 0.5f * (U + V);
  e.z_half = 0.5f * (U - V);
  const double two_a = 2.0 * A * kPi / 180.0;
  e.cos2A = static_cast<float>(cos(two_a));
  e.sin2A = static_cast<float>(sin(two_a));
  e.pixels = 2.0f * (nh - 1) * optics.apix;
  e.y0 = static_cast<float>(ny / 2);
  return e;
}

}  // namespace

int epa_profile_length(int nh, int ov) { return (nh - 1) * ov + 1; }

void hcuda_2d_half_EPA_X_res(const float* in, float* out, int ov, int nh, int ny, const Optics& optics,
                             const CtfModel& model, RESO band) {
  const float* inputs[1] = {in};
  float* outputs[1] = {out};
  epa_profiles(epa_setup<1>(ov, nh, ny, optics, model, band), inputs, outputs);
}

void hcuda_2d_half_EPA_X_res_pair(const float* const in[2], float* const out[2], int ov, int nh, int ny,
                                  const Optics& optics, const CtfModel& model, RESO band) {
  epa_profiles(epa_setup<2>(ov, nh, ny, optics, model, band), in, out);
}
