#include "simulate/phase_object.h"

#include <algorithm>
#include <cmath>

#include "simulate/counter_rng.h"
#include "simulate/smooth_field.h"

namespace {

constexpr double kIceSigma = 0.1;          // white phase noise of amorphous ice, radians per pixel
constexpr double kThicknessSigma = 0.15;   // smooth ice-thickness field, radians
constexpr double kThicknessScale = 500.0;  // its correlation length, Angstrom
constexpr int kBlobsPerParticle = 32;      // Gaussian blobs that make up one particle
constexpr double kBlobPhase = 0.05;        // peak phase of one blob, radians

void add_ice(const SimParams& p, std::vector<float>& phase) {
  const uint64_t key = stream_key(p.seed, RandomStream::kIce);
  const size_t n = phase.size();
  for (size_t i = 0; i < n; i += 2) {
    CounterRng rng(key, i / 2);
    double a, b;
    rng.gaussian_pair(a, b);
    phase[i] += static_cast<float>(kIceSigma * a);
    if (i + 1 < n) phase[i + 1] += static_cast<float>(kIceSigma * b);
  }
}

void add_thickness(const SimParams& p, std::vector<float>& phase) {
  const double cell = std::max(4.0, kThicknessScale / p.apix);
  const std::vector<float> field =
      smooth_random_field(p.nx, p.ny, cell, stream_key(p.seed, RandomStream::kSpecimenField));
  for (size_t i = 0; i < phase.size(); ++i) phase[i] += static_cast<float>(kThicknessSigma) * field[i];
}

// Centres on a jittered grid: the range of centres that keep the box inside the image is cut into
// cells at least one particle wide, cells are drawn at random and each gets one particle placed
// at random within it, so particles never overlap.
std::vector<Particle> place_particles(const SimParams& p) {
  if (p.nptcl == 0) return {};
  const int half = p.box / 2, diameter = std::max(1, p.box / 2);
  const int span_x = p.nx - p.box, span_y = p.ny - p.box;  // centres lie in [half, half + span]
  const int cells_x = std::max(1, span_x / diameter), cells_y = std::max(1, span_y / diameter);
  const double cell_w = double(span_x) / cells_x, cell_h = double(span_y) / cells_y;
  std::vector<int> cells(static_cast<size_t>(cells_x) * cells_y);
  for (size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<int>(i);
  const uint64_t key = stream_key(p.seed, RandomStream::kParticles);
  CounterRng order(key, 0);
  const size_t count = std::min(cells.size(), static_cast<size_t>(p.nptcl));
  for (size_t i = 0; i < count; ++i) {  // a partial Fisher-Yates shuffle
    const size_t j = i + static_cast<size_t>(order.uniform() * (cells.size() - i));
    std::swap(cells[i], cells[std::min(j, cells.size() - 1)]);
  }
  std::sort(cells.begin(), cells.begin() + count);
  std::vector<Particle> particles(count);
  for (size_t i = 0; i < count; ++i) {
    CounterRng rng(key, 1 + static_cast<uint64_t>(cells[i]));
    const int cx = cells[i] % cells_x, cy = cells[i] / cells_x;
    const double free_x = std::max(0.0, cell_w - diameter), free_y = std::max(0.0, cell_h - diameter);
    const double x = half + (cx + 0.5) * cell_w + (rng.uniform() - 0.5) * free_x;
    const double y = half + (cy + 0.5) * cell_h + (rng.uniform() - 0.5) * free_y;
    particles[i] = {std::clamp(static_cast<int>(std::lround(x)), half, half + span_x),
                    std::clamp(static_cast<int>(std::lround(y)), half, half + span_y)};
  }
  return particles;
}

void add_blob(const SimParams& p, double bx, double by, double sigma, double amplitude, std::vector<float>& phase) {
  const int reach = static_cast<int>(std::ceil(3.0 * sigma));
  const int x0 = std::max(0, static_cast<int>(bx) - reach), x1 = std::min(p.nx - 1, static_cast<int>(bx) + reach);
  const int y0 = std::max(0, static_cast<int>(by) - reach), y1 = std::min(p.ny - 1, static_cast<int>(by) + reach);
  if (x0 > x1 || y0 > y1) return;
  std::vector<float> ex(x1 - x0 + 1);
  for (int x = x0; x <= x1; ++x) ex[x - x0] = static_cast<float>(std::exp(-(x - bx) * (x - bx) / (2 * sigma * sigma)));
  for (int y = y0; y <= y1; ++y) {
    const float ey = static_cast<float>(amplitude * std::exp(-(y - by) * (y - by) / (2 * sigma * sigma)));
    float* row = &phase[static_cast<size_t>(y) * p.nx];
    for (int x = x0; x <= x1; ++x) row[x] += ey * ex[x - x0];
  }
}

// A particle is a cluster of blobs of random size and strength within its radius.
void add_particle(const SimParams& p, const Particle& particle, uint64_t element, std::vector<float>& phase) {
  CounterRng rng(stream_key(p.seed, RandomStream::kParticles, 1), element);
  const double radius = p.box / 4.0;
  for (int b = 0; b < kBlobsPerParticle; ++b) {
    const double r = 0.7 * radius * std::sqrt(rng.uniform()), a = 6.283185307179586 * rng.uniform();
    const double sigma = std::max(0.8, radius * (0.06 + 0.14 * rng.uniform()));
    const double amplitude = kBlobPhase * (0.5 + 0.5 * rng.uniform());
    add_blob(p, particle.x + r * std::cos(a), particle.y + r * std::sin(a), sigma, amplitude, phase);
  }
}

}  // namespace

Specimen make_specimen(const SimParams& p) {
  Specimen specimen{std::vector<float>(static_cast<size_t>(p.nx) * p.ny, 0.0f), place_particles(p)};
  add_ice(p, specimen.phase);
  add_thickness(p, specimen.phase);
  for (size_t i = 0; i < specimen.particles.size(); ++i) add_particle(p, specimen.particles[i], i, specimen.phase);
  return specimen;
}
