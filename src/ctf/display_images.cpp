#include "ctf/display_images.h"

#include <math.h>
#include <stdint.h>

#include "backend/launch.h"
#include "backend/memory.h"
#include "core/ctf_formula.h"
#include "ctf/ctf_simulate.h"
#include "ctf/epa_geometry.h"
#include "ctf/epa_profile.h"
#include "ctf/half_spectrum.h"

namespace {

// Rows y > ny/2 of both images show the measured spectrum outside the low-resolution hole.
QUIB_HD inline float measured_half(const float* in, int x, int y, int nh, float s, float resL) {
  return s <= 1.0f / resL ? 0.0f : in[half_index(x, y, nh)];
}

// The profile (nh samples, one per pixel of radius) interpolated linearly at radius r; 0 off it.
QUIB_HD inline float profile_at(const float* profile, float r, int nh) {
  if (!(r >= 0.0f && r <= nh - 1)) return 0.0f;
  const int i = static_cast<int>(r);
  const float f = r - i;
  return (1.0f - f) * profile[i] + f * profile[i < nh - 1 ? i + 1 : i];
}

// The EPA image painted from its profile: pixel (x, y) reads the profile at the x-axis radius of
// the pixel's phase.
struct EpaImage {
  const float* profile;
  const float* in;
  float* out;
  int nh, ny;
  Optics o;
  CtfModel m;
  RESO band;

  QUIB_HD void operator()(int x, int y) const {
    const HalfSpectrumPixel p = half_spectrum_pixel(x, y, nh, ny, o.apix);
    float value = 0.0f;
    if (y > ny / 2) {
      value = measured_half(in, x, y, nh, p.s, band.low);
    } else if (p.s > 1.0f / band.low && p.s < 1.0f / band.high) {
      // The radius on the x axis where gamma equals this pixel's gamma.
      const float U = m.defocus_u, V = m.defocus_v, A = m.angle;
      const float gamma = static_cast<float>(ctf_gamma(o.lambda, effective_defocus(U, V, A, p.theta), o.Cs, p.s));
      const float r0 =
          2.0f * (nh - 1) * o.apix * ctf_frequency_at_gamma(o.lambda, effective_defocus(U, V, A, 0.0f), o.Cs, gamma);
      value = profile_at(profile, r0, nh) * (1.0f + 10.0f * r0 / nh);
    }
    out[half_index(x, y, nh)] = value;
  }
};

// Mean of the spectrum (as neighbour pairs) on the ring of radius r pixels: directions from -pi/2
// in steps of 0.75/r, points on the spectrum only, the count started at 1e-5.
QUIB_HD inline float ring_mean(const uint64_t* pairs, float r, int nh, int ny) {
  const double step = 0.75 / r;
  const int count = ring_direction_count(step);
  const double cos_step = cos(step), sin_step = sin(step);
  const float y0 = static_cast<float>(ny / 2);
  double c = 0.0, s = -1.0;  // cos and sin of the direction, advanced by rotation
  float sum = 0.0f, points = 1e-5f;
  for (int j = 0; j < count; ++j) {
    const float x = r * static_cast<float>(c), y = r * static_cast<float>(s) + y0;
    if (on_half_spectrum(x, y, nh, ny)) {
      sum += bilinear_half(pairs, x, y, nh, ny);
      points += 1.0f;
    }
    const double next_c = c * cos_step - s * sin_step;
    s = s * cos_step + c * sin_step;
    c = next_c;
  }
  return sum / points;
}

}  // namespace

void hcuda_2d_half_EPA(const float* in, float* out, int nh, int ny, const Optics& optics, const CtfModel& model,
                       RESO band) {
  if (nh < 2 || ny < 1) return;
  DeviceBuffer<float> profile(static_cast<size_t>(nh));
  hcuda_2d_half_EPA_X_res(in, profile.get(), 1, nh, ny, optics, model, band);
  launch_2d(nh, ny, EpaImage{profile.get(), in, out, nh, ny, optics, model, band});
}

void hcuda_2d_half_basic_rotate_ave_res(const float* in, float* out, float apix, int nh, int ny, RESO band) {
  if (nh < 2 || ny < 1) return;
  DeviceBuffer<uint64_t> pairs(static_cast<size_t>(nh) * ny);
  hcuda_2d_half_pack_pairs(pairs.get(), in, nh, ny);
  const uint64_t* packed = pairs.get();
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) {
    const HalfSpectrumPixel p = half_spectrum_pixel(x, y, nh, ny, apix);
    float value = 0.0f;
    if (y >= ny / 2)
      value = measured_half(in, x, y, nh, p.s, band.low);
    else if (in_band(p.s, band.low, band.high))
      value = ring_mean(packed, p.r, nh, ny) * (1.0f + 10.0f * p.r / nh);
    out[half_index(x, y, nh)] = value;
  });
}
