// The EPA and rotational-average images that the diagnosis image can show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "backend/memory.h"
#include "ctf/display_images.h"
#include "ctf/epa_profile.h"
#include "epa_test_spectra.h"

namespace {

constexpr float kPiF = 3.14159265f;

struct Pixel {
  int x, y;
  float r, s;
};

std::vector<Pixel> pixels_of(const TestModel& m) {
  std::vector<Pixel> all;
  for (int y = 0; y < m.N; ++y)
    for (int x = 0; x < m.nh(); ++x) {
      const float r = std::sqrt(float(x * x + (y - m.N / 2) * (y - m.N / 2)));
      all.push_back({x, y, r, r / (m.N * m.apix)});
    }
  return all;
}

// The radius (pixels) on the x axis where gamma equals gamma at pixel p (double precision).
double x_axis_radius(const TestModel& m, const Pixel& p) {
  const double lambda = 12.264325 / std::sqrt(1000.0 * m.kV * (1 + 0.978466e-6 * 1000.0 * m.kV));
  const double k = 0.5 * M_PI * m.Cs * 1e7 * lambda * lambda * lambda, a = m.A * M_PI / 180;
  const double theta = std::atan2(double(p.y - m.N / 2), double(p.x));
  const double Z = m.U * std::pow(std::cos(theta - a), 2) + m.V * std::pow(std::sin(theta - a), 2);
  const double Z0 = m.U * std::pow(std::cos(a), 2) + m.V * std::pow(std::sin(a), 2);
  const double gamma = M_PI * lambda * Z * p.s * p.s - k * std::pow(p.s, 4);
  const double c = M_PI * lambda * Z0;
  return m.N * m.apix * std::sqrt((c - std::sqrt(c * c - 4 * k * gamma)) / (2 * k));
}

// Rows after the centre row show the measured spectrum outside the low-resolution hole; the
// rows up to it show the EPA profile (no oversampling) painted back at the radius r0 where the
// x-axis phase equals the pixel's phase, times the display ramp 1 + 10 r0/nh, and 0 from resH on.
// With the profile's rings painted back, the image follows the spectrum's astigmatic rings.
TEST(EpaDisplay, EpaImagePaintsTheProfileAtEqualPhaseAndKeepsTheLowerRows) {
  const TestModel m{128, 1.5f, 300, 2.7f, 0.1f, 8000, 6000, 25};
  const std::vector<float> in = ctf_spectrum(m);
  const float resL = 60.0f, resH = 3.5f;
  DeviceBuffer<float> d_in = device_copy_of(in), d_out(in.size()), d_profile(m.nh());
  hcuda_2d_half_EPA(d_in.get(), d_out.get(), m.nh(), m.N, m.optics(), m.model(), RESO{resL, resH});
  hcuda_2d_half_EPA_X_res(d_in.get(), d_profile.get(), 1, m.nh(), m.N, m.optics(), m.model(), RESO{resL, resH});
  const std::vector<float> out = host_copy_of(d_out), profile = host_copy_of(d_profile);
  std::vector<float> painted, measured;
  int inside = 0;
  for (const Pixel& p : pixels_of(m)) {
    const float v = out[p.y * m.nh() + p.x];
    if (p.s <= 1.0f / resL) {
      EXPECT_EQ(v, 0.0f) << p.x << "," << p.y;
    } else if (p.y > m.N / 2) {
      EXPECT_EQ(v, in[p.y * m.nh() + p.x]) << p.x << "," << p.y;
    } else if (p.s >= 1.0f / resH) {
      EXPECT_EQ(v, 0.0f) << p.x << "," << p.y;
    } else {
      const double r0 = x_axis_radius(m, p);
      double expected = 0;
      if (r0 <= m.nh() - 1) {
        const int i = static_cast<int>(r0);
        const double f = r0 - i;
        expected = ((1 - f) * profile[i] + f * profile[std::min(i + 1, m.nh() - 1)]) * (1 + 10 * r0 / m.nh());
      }
      EXPECT_NEAR(v, expected, 2e-3 * (1 + expected)) << p.x << "," << p.y;
      if (expected > 0) {
        painted.push_back(v / static_cast<float>(1 + 10 * r0 / m.nh()));
        measured.push_back(in[p.y * m.nh() + p.x]);
      }
      ++inside;
    }
  }
  EXPECT_GT(inside, 2000);
  EXPECT_GT(pearson(painted, measured, 0, static_cast<int>(painted.size())), 0.6);
}

// A radial input is its own ring mean: the rows above the centre row show it times the display
// ramp inside the band and 0 outside; the input x (the column) has as ring mean the mean of
// r cos(theta) = r sin(j step) over the directions, about 2 r / pi.
TEST(EpaDisplay, RotationalAverageImageOfRadialAndLinearInputs) {
  const TestModel m{128, 1.0f, 300, 2.7f, 0.1f, 10000, 10000, 0};
  const float resL = 50.0f, resH = 2.5f;
  std::vector<float> radial(static_cast<size_t>(m.nh()) * m.N), column(radial.size());
  for (const Pixel& p : pixels_of(m)) {
    radial[p.y * m.nh() + p.x] = 2.0f + std::cos(p.r / 4.0f);
    column[p.y * m.nh() + p.x] = static_cast<float>(p.x);
  }
  DeviceBuffer<float> d_radial = device_copy_of(radial), d_column = device_copy_of(column), d_out(radial.size());
  hcuda_2d_half_basic_rotate_ave_res(d_radial.get(), d_out.get(), m.apix, m.nh(), m.N, RESO{resL, resH});
  const std::vector<float> out = host_copy_of(d_out);
  hcuda_2d_half_basic_rotate_ave_res(d_column.get(), d_out.get(), m.apix, m.nh(), m.N, RESO{resL, resH});
  const std::vector<float> out_column = host_copy_of(d_out);
  int checked = 0;
  for (const Pixel& p : pixels_of(m)) {
    const size_t i = p.y * m.nh() + p.x;
    const float ramp = 1.0f + 10.0f * p.r / m.nh();
    if (p.y >= m.N / 2) {
      EXPECT_EQ(out[i], p.s <= 1.0f / resL ? 0.0f : radial[i]) << p.x << "," << p.y;
    } else if (p.s < 1.0f / resL || p.s > 1.0f / resH) {
      EXPECT_EQ(out[i], 0.0f) << p.x << "," << p.y;
    } else {
      EXPECT_NEAR(out[i], radial[i] * ramp, 0.01f * ramp) << p.x << "," << p.y;
      // below radius 64 the whole ring lies on the spectrum
      if (p.r < 63) {
        const double step = 0.75 / p.r;
        double sum = 0;
        int count = 0;
        for (; - M_PI / 2 + count * step < M_PI / 2; ++count) sum += p.r * std::sin(count * step);
        EXPECT_NEAR(out_column[i], sum / count * ramp, 1e-4 * p.r * ramp) << p.x << "," << p.y;
        EXPECT_NEAR(out_column[i], 2.0f * p.r / kPiF * ramp, 0.05f * p.r * ramp) << p.x << "," << p.y;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
}

}  // namespace
