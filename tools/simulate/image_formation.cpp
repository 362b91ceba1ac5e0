#include "simulate/image_formation.h"

#include <algorithm>
#include <cmath>

#include "backend/fft_plan.h"
#include "backend/memory.h"
#include "backend/workspace.h"
#include "core/ctf_formula.h"

namespace {

constexpr double kLayerPhaseStep = 1.0;  // radians at the highest frequency that carries signal

// The smallest size >= n whose only prime factors are 2, 3, 5 and 7, which FFTs handle fast.
int fft_friendly_size(int n) {
  for (int m = n;; ++m) {
    int r = m;
    for (int f : {2, 3, 5, 7})
      while (r % f == 0) r /= f;
    if (r == 1) return m;
  }
}

// The range of the plane's offsets over an image of p's size; its lowest offset goes into lo.
double plane_range(const SimParams& p, const DefocusPlane& plane, double& lo) {
  const double corners[4] = {plane.at(0, 0), plane.at(p.nx - 1, 0), plane.at(0, p.ny - 1),
                             plane.at(p.nx - 1, p.ny - 1)};
  lo = *std::min_element(corners, corners + 4);
  return *std::max_element(corners, corners + 4) - lo;
}

// The specimen's phase, repeated over the canvas, weighted by the hat function of the layer at
// `offset` (reaching one spacing to each side). Only the band of each row inside the hat is
// computed; the rest of the row is 0.
void fill_layer(const ImagingSetup& s, double offset, const std::vector<float>& phase, std::vector<float>& layer) {
  const int cw = s.canvas.nx, ch = s.canvas.ny;
  std::vector<int> source_column(cw);
  for (int x = 0; x < cw; ++x) source_column[x] = ((x - s.ox) % s.nx + s.nx) % s.nx;
  std::fill(layer.begin(), layer.end(), 0.0f);
  for (int y = 0; y < ch; ++y) {
    const double row = s.plane.at(0, y) - offset;  // distance from the layer at x = 0
    int x0 = 0, x1 = cw - 1;
    if (s.plane.gx != 0.0) {
      const double a = (-s.spacing - row) / s.plane.gx, b = (s.spacing - row) / s.plane.gx;
      x0 = static_cast<int>(std::clamp(std::floor(std::min(a, b)), 0.0, double(cw)));
      x1 = static_cast<int>(std::clamp(std::ceil(std::max(a, b)), -1.0, cw - 1.0));
    }
    const float* source = &phase[static_cast<size_t>(((y - s.oy) % s.ny + s.ny) % s.ny) * s.nx];
    float* out = &layer[static_cast<size_t>(y) * cw];
    for (int x = x0; x <= x1; ++x) {
      const double w = 1.0 - std::fabs(row + s.plane.gx * x) / s.spacing;
      if (w > 0.0) out[x] = static_cast<float>(w) * source[source_column[x]];
    }
  }
}

}  // namespace

double layer_spacing(const SimParams& p) {
  const double s = envelope_band_limit(p.bfac, 1.0 / (2.0 * p.apix));
  return kLayerPhaseStep / (kPi * kV_to_lambda(p.kV) * s * s);
}

double ctf_spread(const SimParams& p) {
  double lo;
  const double range = plane_range(p, defocus_plane(p), lo);
  const double Z = std::max(std::fabs(p.defU), std::fabs(p.defV)) + std::fabs(p.drift) * (p.nz - 1) +
                   std::max(std::fabs(lo), std::fabs(lo + range));
  const double lambda = kV_to_lambda(p.kV), cs = 1e7 * p.Cs * lambda * lambda * lambda;
  const double s_max = envelope_band_limit(p.bfac, std::sqrt(0.5) / p.apix);
  double spread = 0;
  for (int i = 1; i <= 256; ++i) {
    const double s = s_max * i / 256;
    spread = std::max(spread, std::fabs(lambda * Z * s - cs * s * s * s));
  }
  return spread / p.apix;
}

ImagingSetup make_imaging_setup(const SimParams& p) {
  ImagingSetup s;
  s.canvas = p;
  s.nx = p.nx;
  s.ny = p.ny;
  s.ox = s.oy = 0;
  s.plane = defocus_plane(p);
  s.spacing = layer_spacing(p);
  double lo;
  const double range = plane_range(p, s.plane, lo);
  if (range > 0.0) {
    // The margin each side, at most the image's own size, so huge defoci stay affordable.
    const int margin = static_cast<int>(std::ceil(std::min(ctf_spread(p), double(std::max(p.nx, p.ny)))));
    s.canvas.nx = fft_friendly_size(p.nx + 2 * margin);
    s.canvas.ny = fft_friendly_size(p.ny + 2 * margin);
    s.ox = (s.canvas.nx - p.nx) / 2;
    s.oy = (s.canvas.ny - p.ny) / 2;
    s.plane.cx += s.ox;
    s.plane.cy += s.oy;
    double canvas_lo;
    const double canvas_range = plane_range(s.canvas, s.plane, canvas_lo);
    const int count = static_cast<int>(std::ceil(canvas_range / s.spacing)) + 1;
    for (int k = 0; k < count; ++k) s.layers.push_back(canvas_lo + k * s.spacing);
  } else {
    s.layers = {0.0};
  }
  s.transfer = make_transfer_table(s.canvas);
  return s;
}

std::vector<float> expected_counts(const ImagingSetup& s, const std::vector<float>& phase,
                                   const std::vector<float>& illumination, float defocus_shift,
                                   double electrons_per_pixel) {
  const int cw = s.canvas.nx, ch = s.canvas.ny;
  const size_t n = static_cast<size_t>(cw) * ch, nhalf = static_cast<size_t>(s.transfer.nh) * ch;
  const FftPlan2d& plan = fft_plan_2d(cw, ch);
  DeviceBuffer<float> d_real(n);
  DeviceBuffer<float2> d_half(nhalf);
  std::vector<float2> transferred(nhalf, float2{0.0f, 0.0f});
  const bool tilted = s.layers.size() > 1;
  std::vector<float> layer(tilted ? n : 0);
  LayerSweep sweep = start_layer_sweep(s.transfer, static_cast<float>(defocus_shift + s.layers[0]),
                                       tilted ? static_cast<float>(s.spacing) : 0.0f);
  for (double offset : s.layers) {
    if (tilted) fill_layer(s, offset, phase, layer);
    memcpy_H2D(d_real.get(), tilted ? layer.data() : phase.data(), n * sizeof(float));
    plan.forward(d_real.get(), d_half.get());
    const std::vector<float2> spectrum = host_copy_of(d_half);
    accumulate_layer(s.transfer, sweep, spectrum.data(), transferred.data());
  }
  memcpy_H2D(d_half.get(), transferred.data(), nhalf * sizeof(float2));
  plan.inverse(d_half.get(), d_real.get());
  const std::vector<float> filtered = host_copy_of(d_real);
  const double contrast = 2.0 / double(n);  // the inverse FFT is unnormalised
  std::vector<float> counts(static_cast<size_t>(s.nx) * s.ny);
  for (int y = 0; y < s.ny; ++y)
    for (int x = 0; x < s.nx; ++x) {
      const size_t i = static_cast<size_t>(y) * s.nx + x;
      const double intensity = std::max(0.0, 1.0 - contrast * filtered[static_cast<size_t>(y + s.oy) * cw + x + s.ox]);
      counts[i] = static_cast<float>(electrons_per_pixel * illumination[i] * intensity);
    }
  return counts;
}
