// The micrograph simulator: reproducibility, the CTF it imprints (zeros where the CTF model puts
// them, astigmatism in quib's angle convention), dose and shot noise, movies, the tilted
// specimen's local defocus, the coordinate and MRC files, and the program's command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "backend/fft_plan.h"
#include "backend/memory.h"
#include "backend/workspace.h"
#include "io/mrc_header.h"
#include "io/mrc_read.h"
#include "io/ptcl_box_reader.h"
#include "simulate/coordinate_files.h"
#include "simulate/illumination.h"
#include "simulate/image_formation.h"
#include "simulate/mrc_output.h"
#include "simulate/phase_object.h"
#include "simulate/poisson.h"
#include "simulate/sim_options.h"
#include "simulate/simulate.h"
#include "simulate/smooth_field.h"
#include "test_util.h"

namespace {

SimParams small_params(int nx, int ny) {
  SimParams p;
  p.nx = nx;
  p.ny = ny;
  p.nptcl = 12;
  p.box = 64;
  return p;
}

std::vector<float> frame_of(const SimResult& r, const SimParams& p, int f) {
  const size_t n = static_cast<size_t>(p.nx) * p.ny;
  return std::vector<float>(r.frames.begin() + f * n, r.frames.begin() + (f + 1) * n);
}

double mean_of(const std::vector<float>& v) {
  double sum = 0;
  for (float x : v) sum += x;
  return sum / v.size();
}

// The power spectrum averaged over square boxes of n pixels cut at a step of n / 2, as quib cuts
// them; half-complex layout (n / 2 + 1 columns, rows in FFT order).
std::vector<double> box_power(const std::vector<float>& image, int nx, int ny, int n) {
  const int nh = n / 2 + 1;
  std::vector<double> power(static_cast<size_t>(nh) * n, 0.0);
  DeviceBuffer<float> d_box(static_cast<size_t>(n) * n);
  DeviceBuffer<float2> d_half(static_cast<size_t>(nh) * n);
  std::vector<float> box(static_cast<size_t>(n) * n);
  for (int y0 = 0; y0 + n <= ny; y0 += n / 2)
    for (int x0 = 0; x0 + n <= nx; x0 += n / 2) {
      for (int y = 0; y < n; ++y)
        std::copy_n(&image[static_cast<size_t>(y0 + y) * nx + x0], n, &box[static_cast<size_t>(y) * n]);
      memcpy_H2D(d_box.get(), box.data(), box.size() * sizeof(float));
      fft_plan_2d(n, n).forward(d_box.get(), d_half.get());
      const std::vector<float2> half = host_copy_of(d_half);
      for (size_t i = 0; i < half.size(); ++i)
        power[i] += double(half[i].x) * half[i].x + double(half[i].y) * half[i].y;
    }
  return power;
}

// Mean power per whole-pixel radius of an n-box spectrum, over the directions within
// half_width degrees of `direction` (modulo 180; half_width 90 takes all directions). The
// direction of element (kx, ky) is atan2(ky, kx) with ky the signed row frequency.
std::vector<double> radial_profile(const std::vector<double>& power, int n, double direction, double half_width) {
  const int nh = n / 2 + 1;
  std::vector<double> sum(nh, 0.0), count(nh, 0.0);
  for (int r = 0; r < n; ++r)
    for (int kx = 0; kx < nh; ++kx) {
      const int ky = r < n / 2 ? r : r - n;
      const double radius = std::sqrt(double(kx) * kx + double(ky) * ky);
      const int bin = static_cast<int>(std::lround(radius));
      if (bin >= nh) continue;
      double d = std::fmod(std::atan2(ky, kx) * 180.0 / M_PI - direction, 180.0);
      if (d < -90.0) d += 180.0;
      if (d >= 90.0) d -= 180.0;
      if (std::fabs(d) > half_width) continue;
      sum[bin] += power[static_cast<size_t>(r) * nh + kx];
      count[bin] += 1;
    }
  for (int i = 0; i < nh; ++i) sum[i] = count[i] > 0 ? sum[i] / count[i] : 0.0;
  return sum;
}

// Zeros of sqrt(1 - w^2) sin(chi) + w cos(chi) = sin(chi + asin w) below s_max, from the
// textbook phase chi = pi lambda Z s^2 - pi/2 Cs lambda^3 s^4 + P (lambda relativistic).
std::vector<double> ctf_zeros(double kV, double Cs_mm, double w, double P_deg, double Z, double s_max) {
  const double volts = 1000.0 * kV;
  const double lambda = 12.264325 / std::sqrt(volts * (1.0 + 0.978466e-6 * volts));
  const double c = M_PI * lambda * Z, k = 0.5 * M_PI * Cs_mm * 1e7 * lambda * lambda * lambda;
  std::vector<double> zeros;
  for (int order = 0;; ++order) {
    const double g = order * M_PI - std::asin(w) - P_deg * M_PI / 180.0;  // the phase gamma must reach
    if (g <= 0) continue;
    if (c * c < 4 * k * g) break;
    const double s = k > 0 ? std::sqrt((c - std::sqrt(c * c - 4 * k * g)) / (2 * k)) : std::sqrt(g / c);
    if (s > s_max) break;
    zeros.push_back(s);
  }
  return zeros;
}

// For every zero whose neighbours lie at least min_gap bins away (bins of 1 / (n apix)), how far
// (in bins) the profile's minimum near it lies from it. The search reaches 40% of the way to each
// neighbour, so a minimum belonging to the next ring is never taken.
std::vector<double> minimum_offsets(const std::vector<double>& profile, const std::vector<double>& zeros, double bin,
                                    double min_gap) {
  std::vector<double> offsets;
  for (size_t i = 1; i + 1 < zeros.size(); ++i) {
    const double at = zeros[i] / bin, before = (zeros[i] - zeros[i - 1]) / bin, after = (zeros[i + 1] - zeros[i]) / bin;
    if (std::min(before, after) < min_gap || at + 0.4 * after >= profile.size() - 1) continue;
    const int lo = static_cast<int>(std::ceil(at - 0.4 * before)), hi = static_cast<int>(std::floor(at + 0.4 * after));
    int best = lo;
    for (int j = lo; j <= hi; ++j)
      if (profile[j] < profile[best]) best = j;
    offsets.push_back(best - at);
  }
  return offsets;
}

void expect_minima_at_zeros(const std::vector<double>& profile, const std::vector<double>& zeros, double bin) {
  const std::vector<double> offsets = minimum_offsets(profile, zeros, bin, 5.0);
  ASSERT_GE(offsets.size(), 5u) << "too few resolvable CTF zeros to compare";
  double mean_abs = 0;
  for (double o : offsets) {
    EXPECT_LE(std::fabs(o), 1.5) << "a profile minimum lies away from its CTF zero";
    mean_abs += std::fabs(o) / offsets.size();
  }
  EXPECT_LE(mean_abs, 0.7);
}

TEST(SimulateSpectrum, RotationalAverageHasItsMinimaAtTheCtfZeros) {
  struct Case {
    float kV, Cs, ac, phase_shift, defocus, apix;
    int nz, frame;
    float drift;
  };
  const Case cases[] = {
      {300, 2.7f, 0.1f, 0, 20000, 1.0f, 1, 0, 0},
      {200, 2.0f, 0.07f, 90, 12000, 1.3f, 1, 0, 0},   // phase plate
      {300, 0.01f, 0.2f, 0, 8000, 0.8f, 1, 0, 0},     // (almost) no spherical aberration
      {300, 2.7f, 0.1f, 0, 10000, 1.0f, 3, 2, 2500},  // the last frame of a drifting movie
  };
  const int n = 512;
  for (const Case& c : cases) {
    SimParams p = small_params(1024, 1024);
    p.kV = c.kV;
    p.Cs = c.Cs;
    p.ac = c.ac;
    p.phase_shift = c.phase_shift;
    p.defU = p.defV = c.defocus;
    p.apix = c.apix;
    p.nz = c.nz;
    p.drift = c.drift;
    p.bfac = 20;
    p.dose = 2000;
    const double Z = c.defocus + c.frame * c.drift;
    SCOPED_TRACE(testing::Message() << "kV " << c.kV << " defocus " << Z << " phase shift " << c.phase_shift);
    const SimResult r = simulate_micrograph(p);
    const std::vector<double> profile = radial_profile(box_power(frame_of(r, p, c.frame), p.nx, p.ny, n), n, 0, 90);
    const double bin = 1.0 / (n * c.apix);
    expect_minima_at_zeros(profile, ctf_zeros(c.kV, c.Cs, c.ac, c.phase_shift, Z, 0.8 / (2 * c.apix)), bin);
  }
}

TEST(SimulateSpectrum, AstigmaticZerosFollowUAlongTheAngleAndVPerpendicular) {
  // A non-square image cut into square boxes: its frequency grid differs along x and y, the
  // boxes' does not, so a mix-up of nx and ny would distort the rings.
  SimParams p = small_params(1024, 768);
  p.defU = 8000;
  p.defV = 14000;
  p.angle = 30;
  p.bfac = 20;
  p.dose = 2000;
  const int n = 512;
  const std::vector<double> power = box_power(simulate_micrograph(p).frames, p.nx, p.ny, n);
  const double bin = 1.0 / (n * p.apix);
  const struct { double direction, defocus; } directions[] = {{30, 8000}, {120, 14000}};
  for (const auto& d : directions) {
    SCOPED_TRACE(testing::Message() << "direction " << d.direction);
    const std::vector<double> profile = radial_profile(power, n, d.direction, 6.0);
    expect_minima_at_zeros(profile, ctf_zeros(p.kV, p.Cs, p.ac, 0, d.defocus, 0.35), bin);
  }
  // Mirrored about the x axis (rows counted upward) the angle would be -30 degrees, where the
  // defocus is U cos^2(60) + V sin^2(60): there the zeros of U must not fit.
  const std::vector<double> mirrored = radial_profile(power, n, -30, 6.0);
  const std::vector<double> offsets = minimum_offsets(mirrored, ctf_zeros(p.kV, p.Cs, p.ac, 0, 8000, 0.35), bin, 5.0);
  double mean_abs = 0;
  for (double o : offsets) mean_abs += std::fabs(o) / offsets.size();
  EXPECT_GT(mean_abs, 1.0);
}

TEST(SimulateTransfer, FrequencyIndicesMtfAndLayerSpacingAgainstHandValues) {
  const int index_cases[][3] = {{0, 4, 0}, {1, 4, 1}, {2, 4, -2}, {3, 4, -1}, {2, 5, 2}, {3, 5, -2}, {4, 5, -1}};
  for (const auto& c : index_cases) EXPECT_EQ(fft_frequency_index(c[0], c[1]), c[2]) << c[0] << " of " << c[1];
  EXPECT_FLOAT_EQ(detector_mtf_factor(0.0), 1.0f);
  EXPECT_NEAR(detector_mtf_factor(0.5), 2.0 / M_PI, 1e-6);
  EXPECT_NEAR(detector_mtf_factor(-0.25), std::sin(M_PI / 4) / (M_PI / 4), 1e-6);
  EXPECT_DOUBLE_EQ(envelope_band_limit(0.0f, 0.5), 0.5);
  EXPECT_NEAR(envelope_band_limit(80.0f, 0.5), 0.387023, 1e-6);  // exp(-80 s^2 / 4) = 0.05
  EXPECT_DOUBLE_EQ(envelope_band_limit(1.0f, 0.5), 0.5);
  SimParams p;
  p.bfac = 0;
  EXPECT_NEAR(layer_spacing(p), 64.68, 0.01);  // one radian at s = 0.5: 1 / (pi 0.019687 0.25)
  p.apix = 2.0f;
  EXPECT_NEAR(layer_spacing(p), 4 * 64.68, 0.04);
}

TEST(SimulateNoise, PoissonCountsHaveTheMomentsOfThePoissonLaw) {
  const double lambdas[] = {0.3, 4.0, 9.99, 10.0, 37.5, 1500.0};
  const int n = 100000;
  for (double lambda : lambdas) {
    SCOPED_TRACE(testing::Message() << "lambda " << lambda);
    const uint64_t key = stream_key(7, RandomStream::kShotNoise, static_cast<uint64_t>(lambda * 100));
    std::vector<double> k(n);
    int zeros = 0;
    for (int i = 0; i < n; ++i) {
      CounterRng rng(key, i);
      k[i] = poisson_sample(lambda, rng);
      ASSERT_EQ(k[i], std::floor(k[i]));
      zeros += k[i] == 0;
    }
    double mean = 0, m2 = 0, m3 = 0;
    for (double v : k) mean += v / n;
    for (double v : k) {
      m2 += (v - mean) * (v - mean) / n;
      m3 += (v - mean) * (v - mean) * (v - mean) / n;
    }
    EXPECT_NEAR(mean, lambda, 5 * std::sqrt(lambda / n));
    EXPECT_NEAR(m2, lambda, 0.03 * lambda);
    if (lambda >= 4 && lambda <= 40) {
      EXPECT_NEAR(m3, lambda, 0.25 * lambda) << "the skewness of a Poisson law";
    }
    EXPECT_NEAR(double(zeros) / n, std::exp(-lambda), 0.005);
  }
  CounterRng rng(1, 1);
  EXPECT_EQ(poisson_sample(0.0, rng), 0.0);
}

TEST(SimulateNoise, MeanCountIsTheDoseTimesThePixelArea) {
  const struct {
    float dose, apix;
    int nz;
  } cases[] = {{40, 1.0f, 1}, {5, 0.8f, 1}, {20, 1.5f, 4}, {1000, 1.0f, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "dose " << c.dose << " apix " << c.apix << " frames " << c.nz);
    SimParams p = small_params(512, 384);
    p.dose = c.dose;
    p.apix = c.apix;
    p.nz = c.nz;
    const SimResult r = simulate_micrograph(p);
    const double per_pixel = double(c.dose) * c.apix * c.apix;
    EXPECT_NEAR(mean_of(r.frames) * c.nz, per_pixel, 0.01 * per_pixel);
    for (int f = 0; f < c.nz; ++f) EXPECT_NEAR(mean_of(frame_of(r, p, f)), per_pixel / c.nz, 0.015 * per_pixel / c.nz);
  }
}

TEST(SimulateReproducibility, SameSeedSameImageOtherSeedOtherImage) {
  SimParams plain = small_params(256, 192);
  SimParams tilted = plain;
  tilted.tilt_angle = 25;
  tilted.tilt_axis = 70;
  tilted.defV = 23000;
  tilted.angle = 40;
  SimParams movie = plain;
  movie.nz = 3;
  movie.drift = 300;
  for (const SimParams& p : {plain, tilted, movie}) {
    const SimResult a = simulate_micrograph(p), b = simulate_micrograph(p);
    EXPECT_TRUE(a.frames == b.frames) << "the same seed must give bit-identical frames";
    ASSERT_EQ(a.particles.size(), b.particles.size());
    for (size_t i = 0; i < a.particles.size(); ++i) {
      EXPECT_EQ(a.particles[i].x, b.particles[i].x);
      EXPECT_EQ(a.particles[i].y, b.particles[i].y);
    }
    SimParams other = p;
    other.seed = p.seed + 1;
    const SimResult c = simulate_micrograph(other);
    size_t differ = 0;
    for (size_t i = 0; i < a.frames.size(); ++i) differ += a.frames[i] != c.frames[i];
    EXPECT_GT(differ, a.frames.size() * 8 / 10);
    size_t moved = 0;
    for (size_t i = 0; i < std::min(a.particles.size(), c.particles.size()); ++i)
      moved += a.particles[i].x != c.particles[i].x || a.particles[i].y != c.particles[i].y;
    EXPECT_GT(moved, a.particles.size() / 2);
  }
}

TEST(SimulateMovie, FramesShareTheSpecimenButNotTheNoise) {
  SimParams p = small_params(512, 512);
  p.nz = 6;
  p.dose = 300;
  const SimResult movie = simulate_micrograph(p);
  const size_t n = static_cast<size_t>(p.nx) * p.ny;
  std::vector<float> average(n, 0.0f);
  for (int f = 0; f < p.nz; ++f)
    for (size_t i = 0; i < n; ++i) average[i] += movie.frames[f * n + i] / p.nz;
  SimParams single = p;
  single.nz = 1;
  SimParams other = single;
  other.seed = 99;
  const double independent = correlation(simulate_micrograph(single).frames, simulate_micrograph(other).frames);
  const std::vector<float> first = frame_of(movie, p, 0), second = frame_of(movie, p, 1);
  EXPECT_GT(correlation(average, first), independent + 0.2);
  EXPECT_LT(std::fabs(independent), 0.05);
  // Independent shot noise: the difference of two frames has the variance of two Poisson counts.
  double variance = 0;
  const double mean_difference = mean_of(first) - mean_of(second);
  for (size_t i = 0; i < n; ++i) {
    const double d = double(first[i]) - second[i] - mean_difference;
    variance += d * d / n;
  }
  EXPECT_NEAR(variance, mean_of(first) + mean_of(second), 0.03 * (mean_of(first) + mean_of(second)));
}

// The correlation of two images over the square of side 2 * half + 1 around (cx, cy).
double patch_correlation(const std::vector<float>& a, const std::vector<float>& b, int nx, int cx, int cy, int half) {
  std::vector<float> pa, pb;
  for (int y = cy - half; y <= cy + half; ++y)
    for (int x = cx - half; x <= cx + half; ++x) {
      pa.push_back(a[static_cast<size_t>(y) * nx + x]);
      pb.push_back(b[static_cast<size_t>(y) * nx + x]);
    }
  return correlation(pa, pb);
}

TEST(SimulateTilt, ImageAroundAParticleShowsTheParticlesOwnDefocus) {
  SimParams p = small_params(768, 640);
  p.tilt_angle = 35;
  p.tilt_axis = 20;
  p.defU = 15000;
  p.defV = 17000;
  p.angle = 50;
  p.bfac = 10;
  const Specimen specimen = make_specimen(p);
  const std::vector<float> illumination = make_illumination(p);
  const std::vector<float> tilted = expected_counts(make_imaging_setup(p), specimen.phase, illumination, 0, 100);
  std::vector<ParticleTruth> truth = particle_truth(p, specimen.particles);
  std::sort(truth.begin(), truth.end(), [](const ParticleTruth& a, const ParticleTruth& b) { return a.defU < b.defU; });
  ASSERT_GE(truth.size(), 3u);
  ASSERT_GT(truth.back().defU - truth.front().defU, 300.0f) << "the particles should span a range of defocus";
  for (const ParticleTruth& t : {truth.front(), truth[truth.size() / 2], truth.back()}) {
    SCOPED_TRACE(testing::Message() << "particle at " << t.x << ", " << t.y << " with U " << t.defU);
    // The untilted specimen imaged at the particle's defocus plus dz, compared around the particle.
    const auto match = [&](float dz) {
      SimParams flat = p;
      flat.tilt_angle = 0;
      flat.defU = t.defU + dz;
      flat.defV = t.defV + dz;
      const std::vector<float> image = expected_counts(make_imaging_setup(flat), specimen.phase, illumination, 0, 100);
      return patch_correlation(tilted, image, p.nx, t.x, t.y, 32);
    };
    const double step = 40, below = match(-step), at = match(0), above = match(step);
    ASSERT_GT(at, below);
    ASSERT_GT(at, above);
    EXPECT_GT(at, 0.85);
    const double peak = 0.5 * step * (below - above) / (below - 2 * at + above);
    EXPECT_LT(std::fabs(peak), 25.0) << "the best-matching defocus lies " << peak << " A from the particle's";
    EXPECT_LT(match(400), at - 0.1) << "a defocus 400 A away must match clearly worse";
  }
}

// The rows of a coordinate .star file as numbers, header lines skipped.
std::vector<std::vector<double>> star_rows(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::vector<double>> rows;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::vector<double> row;
    double v;
    while (words >> v) row.push_back(v);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

TEST(SimulateTilt, CoordinateFilesListParticlesWithTheDefocusPlane) {
  SimParams p = small_params(1000, 700);
  p.tilt_angle = 30;
  p.tilt_axis = 20;
  p.defU = 18000;
  p.defV = 21000;
  p.angle = 70;
  p.nptcl = 40;
  p.drift = 0;
  const std::vector<ParticleTruth> particles = particle_truth(p, make_specimen(p).particles);
  ASSERT_EQ(particles.size(), 40u);
  TempDir dir;
  write_box_file(dir.file("p.box"), particles, p.box);
  write_star_file(dir.file("p.star"), particles);

  // quib's own reader finds every particle centre in both files.
  std::vector<PTCL_BOX> boxes(PTCL_BOX_CAPACITY), stars(PTCL_BOX_CAPACITY);
  ASSERT_EQ(read_all_ptcl_boxes(boxes.data(), PTCL_BOX_CAPACITY, dir.file("p.box").c_str()), 40);
  ASSERT_EQ(read_all_ptcl_boxes(stars.data(), PTCL_BOX_CAPACITY, dir.file("p.star").c_str()), 40);
  for (int i = 0; i < 40; ++i) {
    int cx, cy;
    ptcl_box_centre(boxes[i], cx, cy);
    EXPECT_EQ(cx, particles[i].x);
    EXPECT_EQ(cy, particles[i].y);
    EXPECT_EQ(boxes[i].width, p.box);
    EXPECT_TRUE(boxes[i].x >= 0 && boxes[i].y >= 0 && boxes[i].x + p.box <= p.nx && boxes[i].y + p.box <= p.ny);
    EXPECT_EQ(stars[i].x, particles[i].x);
    EXPECT_EQ(stars[i].y, particles[i].y);
  }

  // The .star defocus is a plane through U at the image centre, rising by tan(tilt) A per A
  // toward the direction tilt_axis + 90 degrees, level along the axis; V - U and the angle stay.
  const std::vector<std::vector<double>> rows = star_rows(dir.file("p.star"));
  ASSERT_EQ(rows.size(), 40u);
  double sxx = 0, sxy = 0, syy = 0, sxz = 0, syz = 0, mx = 0, my = 0, mz = 0;
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 5u);
    mx += r[0] / 40;
    my += r[1] / 40;
    mz += r[2] / 40;
    EXPECT_NEAR(r[3] - r[2], 3000.0, 0.01);
    EXPECT_EQ(r[4], 70.0);
  }
  for (const auto& r : rows) {
    const double x = r[0] - mx, y = r[1] - my, z = r[2] - mz;
    sxx += x * x;
    sxy += x * y;
    syy += y * y;
    sxz += x * z;
    syz += y * z;
  }
  const double det = sxx * syy - sxy * sxy;
  const double gx = (sxz * syy - syz * sxy) / det, gy = (syz * sxx - sxz * sxy) / det;
  const double axis = 20 * M_PI / 180, slope = std::tan(30 * M_PI / 180) * p.apix;
  EXPECT_NEAR(gx * std::cos(axis) + gy * std::sin(axis), 0.0, 1e-5) << "level along the tilt axis";
  EXPECT_NEAR(-gx * std::sin(axis) + gy * std::cos(axis), slope, 1e-5) << "rising across it";
  EXPECT_NEAR(mz + gx * ((p.nx - 1) / 2.0 - mx) + gy * ((p.ny - 1) / 2.0 - my), 18000.0, 0.05);
  for (const auto& r : rows) EXPECT_NEAR(r[2], mz + gx * (r[0] - mx) + gy * (r[1] - my), 0.01);
}

TEST(SimulateParticles, CrowdedImageHoldsFewerParticlesWithoutOverlap) {
  SimParams p = small_params(256, 256);
  p.nptcl = 500;
  p.box = 64;
  const std::vector<Particle> particles = make_specimen(p).particles;
  EXPECT_GT(particles.size(), 10u);
  EXPECT_LT(particles.size(), 500u);
  for (size_t i = 0; i < particles.size(); ++i)
    for (size_t j = i + 1; j < particles.size(); ++j) {
      const double dx = particles[i].x - particles[j].x, dy = particles[i].y - particles[j].y;
      EXPECT_GE(std::sqrt(dx * dx + dy * dy), p.box / 2 - 1.0) << "particles " << i << " and " << j << " overlap";
    }
}

TEST(SimulateField, SmoothFieldWrapsAroundWithoutAStep) {
  const int nx = 200, ny = 120;
  const std::vector<float> f = smooth_random_field(nx, ny, 37.0, 5);
  double interior = 0, wrap = 0, mean = 0, var = 0;
  for (int y = 0; y < ny; ++y) {
    for (int x = 0; x + 1 < nx; ++x)
      interior = std::max(interior, double(std::fabs(f[y * nx + x + 1] - f[y * nx + x])));
    wrap = std::max(wrap, double(std::fabs(f[y * nx] - f[y * nx + nx - 1])));
  }
  for (float v : f) mean += v / f.size();
  for (float v : f) var += (v - mean) * (v - mean) / f.size();
  EXPECT_LE(wrap, interior * 1.01);
  EXPECT_GT(var, 0.1) << "the field must vary";
  EXPECT_LT(interior, 0.3) << "and vary smoothly";
}

TEST(SimulateMrc, SixteenBitModesStoreRoundedClampedValues) {
  const std::vector<float> values = {-40000.0f, -2.6f, 0.4f, 7.0f, 1234.7f, 70000.0f};
  const struct {
    int mode;
    std::vector<float> stored;
  } cases[] = {
      {1, {-32768, -3, 0, 7, 1235, 32767}},
      {6, {0, 0, 0, 7, 1235, 65535}},
      {2, values},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode);
    const std::string path = dir.file("m" + std::to_string(c.mode) + ".mrc");
    write_mrc_frames(path, values, 3, 1, 2, c.mode, 1.25f);
    MRC_HEAD head;
    ASSERT_EQ(mrcf_read_head(path.c_str(), &head), 0);
    EXPECT_EQ(head.mode, c.mode);
    EXPECT_EQ(head.nx, 3);
    EXPECT_EQ(head.ny, 1);
    EXPECT_EQ(head.nz, 2);
    EXPECT_FLOAT_EQ(head.xlen / head.mx, 1.25f);
    EXPECT_EQ(head.dmin, *std::min_element(c.stored.begin(), c.stored.end()));
    EXPECT_EQ(head.dmax, *std::max_element(c.stored.begin(), c.stored.end()));
    EXPECT_NEAR(head.dmean, mean_of(c.stored), 1e-3);
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<long>(file.tellg()), 1024 + 6 * (c.mode == 2 ? 4 : 2));
    const HostBuffer<float> back = get_mrcf_data_all(path.c_str());
    EXPECT_EQ(std::vector<float>(back.get(), back.get() + 6), c.stored);
  }
}

TEST(SimulateMrc, SimulatedCountsSurviveTheSixteenBitModes) {
  SimParams p = small_params(128, 96);
  p.nz = 2;
  const SimResult r = simulate_micrograph(p);
  TempDir dir;
  for (int mode : {1, 6}) {
    const std::string path = dir.file("c.mrc");
    write_mrc_frames(path, r.frames, p.nx, p.ny, p.nz, mode, p.apix);
    const HostBuffer<float> back = get_mrcf_data_all(path.c_str());
    EXPECT_TRUE(std::equal(r.frames.begin(), r.frames.end(), back.get())) << "mode " << mode;
  }
}

TEST(SimulateMrcDeathTest, RefusesOtherModesAndUnwritableFiles) {
  const std::vector<float> one = {1.0f};
  EXPECT_EXIT_STDOUT(write_mrc_frames("/tmp/quib_sim_mode3.mrc", one, 1, 1, 1, 3, 1.0f), 1,
                     "writes MRC modes 1, 2, 6 and 12 only! Exit now!");
  EXPECT_EXIT_STDOUT(write_mrc_frames("/nonexistent/dir/x.mrc", one, 1, 1, 1, 2, 1.0f), 1,
                     "Cannot write to file /nonexistent/dir/x.mrc");
  EXPECT_EXIT_STDOUT(write_box_file("/nonexistent/dir/x.box", {}, 64), 1,
                     "Cannot write to file /nonexistent/dir/x.box");
}

// Runs the parser on a command line given as one string of space-separated words.
SimOptions parse_line(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words = {"quib_simulate"};
  for (std::string w; in >> w;) words.push_back(w);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  return parse_sim_options(static_cast<int>(argv.size()), argv.data());
}

TEST(SimulateOptions, ReadsEveryOption) {
  const SimOptions o = parse_line(
      "--nx 512 --ny 256 --nz 3 --apix 1.5 --kV 200 --Cs 2.0 --ac 0.07 --defU 15000 --defV 16000.5 --angle -20 "
      "--phase_shift 90 --bfac 50 --dose 60 --seed 18446744073709551615 --drift 120 --tilt_angle -40 --tilt_axis 95 "
      "--nptcl 7 --box 64 --mode 6 --boxfile a.box --starfile a.star -o out.mrc");
  const SimParams& p = o.params;
  EXPECT_EQ(p.nx, 512);
  EXPECT_EQ(p.ny, 256);
  EXPECT_EQ(p.nz, 3);
  EXPECT_EQ(p.apix, 1.5f);
  EXPECT_EQ(p.kV, 200.0f);
  EXPECT_EQ(p.Cs, 2.0f);
  EXPECT_EQ(p.ac, 0.07f);
  EXPECT_EQ(p.defU, 15000.0f);
  EXPECT_EQ(p.defV, 16000.5f);
  EXPECT_EQ(p.angle, -20.0f);
  EXPECT_EQ(p.phase_shift, 90.0f);
  EXPECT_EQ(p.bfac, 50.0f);
  EXPECT_EQ(p.dose, 60.0f);
  EXPECT_EQ(p.seed, 18446744073709551615ull);
  EXPECT_EQ(p.drift, 120.0f);
  EXPECT_EQ(p.tilt_angle, -40.0f);
  EXPECT_EQ(p.tilt_axis, 95.0f);
  EXPECT_EQ(p.nptcl, 7);
  EXPECT_EQ(p.box, 64);
  EXPECT_EQ(o.mode, 6);
  EXPECT_EQ(o.box_file, "a.box");
  EXPECT_EQ(o.star_file, "a.star");
  EXPECT_EQ(o.output, "out.mrc");
  EXPECT_EQ(parse_line("--output b.mrc").output, "b.mrc");
  EXPECT_TRUE(parse_line("--nx 64 --help").help);
}

TEST(SimulateOptionsDeathTest, BadCommandLinesEndWithAMessage) {
  const struct {
    const char* line;
    const char* message;
  } cases[] = {
      {"--nx 64", "no output file: name one with -o"},
      {"-o a.mrc --size 5", "unknown option '--size'"},
      {"-o a.mrc stray", "unexpected argument 'stray'"},
      {"-o a.mrc --nx", "--nx needs a value"},
      {"-o a.mrc --nx 12abc", "--nx needs a whole number, not '12abc'"},
      {"-o a.mrc --nx 100.5", "--nx needs a whole number"},
      {"-o a.mrc --apix nan", "--apix needs a number, not 'nan'"},
      {"-o a.mrc --seed -1", "--seed needs a whole number from 0"},
      {"-o --nx", "-o needs a file name, not '--nx'"},
      {"-o a.mrc --mode 3", "--mode must be 1, 2, 6 or 12"},
      {"-o a.mrc --nx 8", "nx must lie between 16 and 16384"},
      {"-o a.mrc --nz 0", "nz must lie between 1 and 1000"},
      {"-o a.mrc --apix 0", "apix must lie between"},
      {"-o a.mrc --ac 1.5", "ac must lie between 0 and 1"},
      {"-o a.mrc --bfac -10", "bfac must lie between 0"},
      {"-o a.mrc --dose 0", "dose must lie between"},
      {"-o a.mrc --tilt_angle 80", "tilt_angle must lie between -70 and 70"},
      {"-o a.mrc --nx 128 --box 200", "box must lie between 8 and the smaller image side"},
      {"-o a.mrc --nptcl 20000", "nptcl must lie between 0 and 10240"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EXIT_STDOUT(parse_line(c.line), 1, c.message);
  }
}

// key=value pairs of the truth line; the output name runs to the end of the line.
std::map<std::string, std::string> truth_fields(const std::string& line) {
  std::map<std::string, std::string> fields;
  const size_t output = line.find(" output=");
  std::istringstream in(line.substr(0, output));
  std::string word;
  in >> word;
  fields["tag"] = word;
  while (in >> word) fields[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
  if (output != std::string::npos) fields["output"] = line.substr(output + 8);
  return fields;
}

TEST(SimulateOptions, TruthLineGivesBackTheExactValues) {
  SimOptions o = parse_line("--defU 12345.678 --defV 23456.789 --angle 33.3 --apix 0.834 --nz 5 --drift 11.1 -o x.mrc");
  o.output = "my dir/out file.mrc";
  const auto fields = truth_fields(sim_truth_line(o, 17));
  EXPECT_EQ(fields.at("tag"), "QUIB_SIMULATE_TRUTH");
  EXPECT_EQ(std::stof(fields.at("defU")), 12345.678f);
  EXPECT_EQ(std::stof(fields.at("defV")), 23456.789f);
  EXPECT_EQ(std::stof(fields.at("angle")), 33.3f);
  EXPECT_EQ(std::stof(fields.at("apix")), 0.834f);
  EXPECT_EQ(fields.at("nptcl"), "17");
  EXPECT_EQ(fields.at("seed"), "1");
  EXPECT_NEAR(std::stod(fields.at("mean_defU")), 12345.678 + 2 * 11.1, 0.01);
  EXPECT_NEAR(std::stod(fields.at("mean_defV")), 23456.789 + 2 * 11.1, 0.01);
  EXPECT_EQ(fields.at("output"), "my dir/out file.mrc");
  EXPECT_EQ(fields.size(), 24u);
}

// Runs the program with the environment assignments first; returns its standard output.
std::string run_program(const std::string& environment, const std::string& arguments) {
  const std::string command = environment + " " + QUIB_BINARY_DIR + "/quib_simulate " + arguments;
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
  pclose(pipe);
  return output;
}

std::vector<char> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SimulateProgram, WritesTheSameFileWithAnyThreadCountAsTheLibrary) {
  if (!std::ifstream(std::string(QUIB_BINARY_DIR) + "/quib_simulate")) GTEST_SKIP() << "quib_simulate is not built";
  TempDir dir;
  const std::string args = "--nx 256 --ny 192 --nz 2 --drift 50 --tilt_angle 20 --nptcl 5 --box 48 --seed 42 ";
  const std::string one =
      run_program("OMP_NUM_THREADS=1", args + "-o " + dir.file("one.mrc") + " --starfile " + dir.file("one.star") +
                                           " --boxfile " + dir.file("one.box"));
  run_program("OMP_NUM_THREADS=2", args + "-o " + dir.file("two.mrc"));
  const auto fields = truth_fields(one.substr(0, one.find('\n')));
  EXPECT_EQ(fields.at("tag"), "QUIB_SIMULATE_TRUTH");
  EXPECT_EQ(fields.at("nptcl"), "5");
  EXPECT_EQ(fields.at("output"), dir.file("one.mrc"));
  const std::vector<char> bytes = file_bytes(dir.file("one.mrc"));
  EXPECT_EQ(bytes.size(), 1024u + 256 * 192 * 2 * 4);
  EXPECT_TRUE(bytes == file_bytes(dir.file("two.mrc")));
  SimParams p = small_params(256, 192);
  p.nz = 2;
  p.drift = 50;
  p.tilt_angle = 20;
  p.nptcl = 5;
  p.box = 48;
  p.seed = 42;
  const SimResult r = simulate_micrograph(p);
  ASSERT_EQ(bytes.size(), 1024 + r.frames.size() * sizeof(float));
  EXPECT_EQ(memcmp(bytes.data() + 1024, r.frames.data(), r.frames.size() * sizeof(float)), 0);
  EXPECT_EQ(star_rows(dir.file("one.star")).size(), 5u);
  EXPECT_EQ(star_rows(dir.file("one.box")).size(), 5u);
}

}  // namespace
