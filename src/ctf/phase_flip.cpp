#include "ctf/phase_flip.h"

#include <cmath>

#include "backend/launch.h"
#include "backend/memory.h"
#include "backend/workspace.h"
#include "core/ctf_formula.h"

FlipCtf flip_ctf(const Optics& o, const CtfModel& m) {
  const double lambda = o.lambda, angle = 2.0 * m.angle * kPi / 180.0;
  FlipCtf c;
  c.mean_defocus = 0.5f * (m.defocus_u + m.defocus_v);
  c.half_difference = 0.5f * (m.defocus_u - m.defocus_v);
  c.cos_2a = static_cast<float>(std::cos(angle));
  c.sin_2a = static_cast<float>(std::sin(angle));
  c.defocus_term = static_cast<float>(kPi * lambda);
  c.cs_term = static_cast<float>(0.5 * kPi * 1e7 * o.Cs * lambda * lambda * lambda);
  c.phase_offset = static_cast<float>(m.phase_shift * kPi / 180.0 + std::atan2(o.ac, std::sqrt(1.0 - o.ac * o.ac)));
  return c;
}

namespace {

struct FlipTransform {};

}  // namespace

int phase_flip_image(float* image, int nx, int ny, const Optics& o, const CtfModel& m) {
  const int nh = nx / 2 + 1;
  // Kept from one micrograph to the next: a fresh transform array would cost its page faults each time.
  float2* data = workspace().scratch<FlipTransform, float2>(static_cast<size_t>(nh) * ny);
  const FftPlan2d& plan = fft_plan_2d(nx, ny);
  if (plan.forward(image, data) != 0) return -1;
  // The forward and inverse transforms together multiply by nx ny; undone in the same pass.
  const float scale = static_cast<float>(1.0 / (static_cast<double>(nx) * ny));
  const FlipCtf c = flip_ctf(o, m);
  const float apix = o.apix;
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) { phase_flip_element(data, x, y, nx, ny, apix, c, scale); });
  return plan.inverse(data, image);
}
