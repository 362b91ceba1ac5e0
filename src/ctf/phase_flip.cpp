#include "ctf/phase_flip.h"

#include "backend/launch.h"
#include "backend/memory.h"
#include "backend/workspace.h"

int phase_flip_image(float* image, int nx, int ny, const Optics& o, const CtfModel& m) {
  const int nh = nx / 2 + 1;
  DeviceBuffer<float2> half(static_cast<size_t>(nh) * ny);
  const FftPlan2d& plan = fft_plan_2d(nx, ny);
  if (plan.forward(image, half.get()) != 0) return -1;
  // The forward and inverse transforms together multiply by nx ny; undone in the same pass.
  const float scale = static_cast<float>(1.0 / (static_cast<double>(nx) * ny));
  float2* data = half.get();
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) { phase_flip_element(data, x, y, nx, ny, o, m, scale); });
  return plan.inverse(half.get(), image);
}
