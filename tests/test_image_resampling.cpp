// Bilinear scaling, rotation and affine transforms against a double-precision reference, rotations
// by quarter turns as pixel permutations, and a transform undone by its inverse.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "arrays/image_scale.h"
#include "arrays/image_transform.h"
#include "backend/memory.h"
#include "spectrum_reference.h"

namespace {

using spectrum_reference::random_values;

// Bilinear interpolation written from its textbook form, in double; 0 outside the image.
double reference_sample(const std::vector<float>& in, int nx, int ny, double u, double v) {
  if (u < 0 || v < 0 || u > nx - 1 || v > ny - 1) return 0;
  const int i = int(u), j = int(v);
  const int i1 = std::min(i + 1, nx - 1), j1 = std::min(j + 1, ny - 1);
  const double fu = u - i, fv = v - j;
  return (1 - fu) * (1 - fv) * in[j * nx + i] + fu * (1 - fv) * in[j * nx + i1] + (1 - fu) * fv * in[j1 * nx + i] +
         fu * fv * in[j1 * nx + i1];
}

// Whether (u, v) lies so close to the image's border that float rounding may move it across.
bool near_border(int nx, int ny, double u, double v) {
  const double e = 1e-4;
  return std::fabs(u) < e || std::fabs(v) < e || std::fabs(u - (nx - 1)) < e || std::fabs(v - (ny - 1)) < e;
}

std::vector<float> transformed(const std::vector<float>& in, int nx, int ny, const RT_Mat2D& m, int direct) {
  DeviceBuffer<float> image = device_copy_of(in), out(in.size());
  hcuda_2d_transform(image.get(), out.get(), nx, ny, (nx - 1) * 0.5f, (ny - 1) * 0.5f, m, direct);
  return host_copy_of(out);
}

std::vector<float> rotated(const std::vector<float>& in, int nx, int ny, float angle) {
  DeviceBuffer<float> image = device_copy_of(in), out(in.size());
  hcuda_2d_rotate(image.get(), out.get(), nx, ny, angle);
  return host_copy_of(out);
}

// Checks out against the reference sample at source(x, y) for every pixel not near the border.
template <class Source>
void expect_resampled(const std::vector<float>& out, const std::vector<float>& in, int nx, int ny, int out_nx,
                      int out_ny, Source source) {
  int checked = 0;
  for (int y = 0; y < out_ny; ++y)
    for (int x = 0; x < out_nx; ++x) {
      double u, v;
      source(x, y, u, v);
      if (near_border(nx, ny, u, v)) continue;
      ASSERT_NEAR(out[y * out_nx + x], reference_sample(in, nx, ny, u, v), 2e-5) << x << "," << y;
      ++checked;
    }
  EXPECT_GT(checked, out_nx * out_ny / 3);
}

}  // namespace

TEST(ImageResampling, ScalingSamplesAboutBothCentresOnEvenAndOddSizes) {
  for (int nx : {8, 7}) {
    const int ny = nx - 2;
    const std::vector<float> in = random_values(nx * ny, nx);
    DeviceBuffer<float> image = device_copy_of(in);
    for (float s : {2.0f, 0.5f, 1.5f, 0.7f, 1.0f}) {
      ASSERT_EQ(scale_problem(nx, ny, s), nullptr);
      const int sx = int(scaled_side(nx, s)), sy = int(scaled_side(ny, s));
      ASSERT_EQ(sx, int(std::floor(nx * double(s) + 1e-9))) << s;
      DeviceBuffer<float> out(sx * sy);
      hcuda_2d_scale(out.get(), image.get(), nx, ny, s);
      const std::vector<float> got = host_copy_of(out);
      if (s == 1.0f) {
        EXPECT_EQ(got, in) << "scaling by 1 gives the image back";
      }
      expect_resampled(got, in, nx, ny, sx, sy, [&](int x, int y, double& u, double& v) {
        u = (nx - 1) / 2.0 + (x - (sx - 1) / 2.0) / s;
        v = (ny - 1) / 2.0 + (y - (sy - 1) / 2.0) / s;
      });
    }
  }
  EXPECT_NE(scale_problem(8, 8, 0.0f), nullptr);
  EXPECT_NE(scale_problem(8, 8, -2.0f), nullptr);
  EXPECT_NE(scale_problem(8, 8, NAN), nullptr);
  EXPECT_NE(scale_problem(8, 8, INFINITY), nullptr);
  EXPECT_NE(scale_problem(8, 8, 0.1f), nullptr) << "less than a pixel";
  EXPECT_NE(scale_problem(1 << 20, 8, 4096.0f), nullptr) << "too large";
}

TEST(ImageResampling, QuarterTurnsOfAnOddSquareArePixelPermutations) {
  const int n = 7, c = 3;
  const std::vector<float> in = random_values(n * n, 3);
  // Output (x, y) takes the input at its offset turned by the angle: (c - dy, c + dx) for 90 degrees.
  const std::vector<float> quarter = rotated(in, n, n, 90.0f), half = rotated(in, n, n, 180.0f);
  const std::vector<float> back = rotated(in, n, n, -90.0f);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const int dx = x - c, dy = y - c;
      EXPECT_EQ(quarter[y * n + x], in[(c + dx) * n + (c - dy)]) << x << "," << y;
      EXPECT_EQ(half[y * n + x], in[(c - dy) * n + (c - dx)]) << x << "," << y;
      EXPECT_EQ(back[y * n + x], in[(c - dx) * n + (c + dy)]) << x << "," << y;
    }
}

TEST(ImageResampling, RotationsAndTransformsMatchTheReferenceOnEvenAndOddSizes) {
  for (int n : {10, 9}) {
    const int nx = n, ny = n - 1;
    const std::vector<float> in = random_values(nx * ny, n + 10);
    const double cx = (nx - 1) / 2.0, cy = (ny - 1) / 2.0;
    const double a = 31.0 * M_PI / 180.0;
    expect_resampled(rotated(in, nx, ny, 31.0f), in, nx, ny, nx, ny, [&](int x, int y, double& u, double& v) {
      u = cx + (x - cx) * std::cos(a) - (y - cy) * std::sin(a);
      v = cy + (x - cx) * std::sin(a) + (y - cy) * std::cos(a);
    });
    const RT_Mat2D m{1.1, 0.3, -0.2, 0.9, 0.7, -1.3};
    expect_resampled(transformed(in, nx, ny, m, 1), in, nx, ny, nx, ny, [&](int x, int y, double& u, double& v) {
      u = cx + m.tx + (x - cx) * m.m11 + (y - cy) * m.m12;
      v = cy + m.ty + (x - cx) * m.m21 + (y - cy) * m.m22;
    });
    // The forward motion: the output at p shows the input at the point q that m moves to p.
    const double det = m.m11 * m.m22 - m.m12 * m.m21;
    expect_resampled(transformed(in, nx, ny, m, 0), in, nx, ny, nx, ny, [&](int x, int y, double& u, double& v) {
      const double px = x - cx - m.tx, py = y - cy - m.ty;
      u = cx + (m.m22 * px - m.m12 * py) / det;
      v = cy + (-m.m21 * px + m.m11 * py) / det;
    });
  }
}

TEST(ImageResampling, ATransformFollowedByItsInverseRestoresALinearImageInside) {
  // Bilinear interpolation is exact on a linear image, so the round trip must give it back
  // wherever neither pass samples outside the image.
  const int n = 15, c = 7;
  std::vector<float> in(n * n);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) in[y * n + x] = 3.0f + 0.5f * x - 0.25f * y;
  const RT_Mat2D m{1.1 * std::cos(0.4), -std::sin(0.4), std::sin(0.4), 0.95 * std::cos(0.4), 1.5, -0.5};
  const std::vector<float> moved = transformed(in, n, n, m, 0);
  EXPECT_NE(moved, in);
  const std::vector<float> back = transformed(moved, n, n, inverse_motion(m), 0);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      if (std::hypot(x - c, y - c) <= 3.5) {
        EXPECT_NEAR(back[y * n + x], in[y * n + x], 1e-4) << x << "," << y;
      }
}

TEST(ImageResampling, SingularOrNonFiniteTransformsAreRefused) {
  EXPECT_EQ(transform_problem(RT_Mat2D{0.0, 1.0, -1.0, 0.0, 2.0, 3.0}, 0), nullptr);
  EXPECT_NE(transform_problem(RT_Mat2D{1.0, 2.0, 2.0, 4.0, 0.0, 0.0}, 0), nullptr) << "det 0";
  EXPECT_NE(transform_problem(RT_Mat2D{1.0, 0.0, 0.0, 1e-310, 0.0, 0.0}, 0), nullptr) << "inverse overflows";
  EXPECT_NE(transform_problem(RT_Mat2D{1e200, 0.0, 0.0, 1e200, 0.0, 0.0}, 0), nullptr) << "det overflows";
  EXPECT_NE(transform_problem(RT_Mat2D{1.0, 0.0, 0.0, 1.0, NAN, 0.0}, 1), nullptr);
  EXPECT_EQ(transform_problem(RT_Mat2D{1.0, 2.0, 2.0, 4.0, 0.0, 0.0}, 1), nullptr) << "nothing to invert";
  const RT_Mat2D inverse = inverse_motion(RT_Mat2D{2.0, 1.0, 1.0, 1.0, 3.0, -2.0});
  EXPECT_DOUBLE_EQ(inverse.m11, 1.0);
  EXPECT_DOUBLE_EQ(inverse.m12, -1.0);
  EXPECT_DOUBLE_EQ(inverse.m21, -1.0);
  EXPECT_DOUBLE_EQ(inverse.m22, 2.0);
  EXPECT_DOUBLE_EQ(inverse.tx, -5.0);
  EXPECT_DOUBLE_EQ(inverse.ty, 7.0);
}
