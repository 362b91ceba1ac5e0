#include "arrays/micrograph_particles.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "core/report.h"
#include "stats/host_moments.h"
#include "stats/host_normalise.h"

namespace {

// Calls pixel(small index, large index) for every pixel of the box that lies on the micrograph,
// and outside(small index) for the others.
template <class Inside, class Outside>
void for_box_pixels(const PTCL_BOX& box, int nx, int ny, int large_nx, int large_ny, Inside pixel, Outside outside) {
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nx; ++x) {
      const long long gx = static_cast<long long>(box.x) + x, gy = static_cast<long long>(box.y) + y;
      const size_t small = static_cast<size_t>(y) * nx + x;
      if (gx >= 0 && gx < large_nx && gy >= 0 && gy < large_ny)
        pixel(small, static_cast<size_t>(gy) * large_nx + static_cast<size_t>(gx));
      else
        outside(small);
    }
}

}  // namespace

void cpu_x2d_extract_ptcls_from_micrograph(float* smalls, int nx, int ny, int count, const float* large, int large_nx,
                                           int large_ny, const PTCL_BOX* boxes) {
  const size_t plane = static_cast<size_t>(nx) * ny;
  for (int i = 0; i < count; ++i) {
    float* small = smalls + i * plane;
    for_box_pixels(
        boxes[i], nx, ny, large_nx, large_ny, [&](size_t s, size_t l) { small[s] = large[l]; },
        [&](size_t s) { small[s] = 0.0f; });
  }
}

std::string particle_paste_problem(const float* refs, int nx, int ny, int count, const PTCL_BOX* boxes) {
  const size_t plane = static_cast<size_t>(nx) * ny;
  for (int i = 0; i < count; ++i) {
    const double spread = hm_stdv(refs + i * plane, plane);
    if (spread > 0.0 && std::isfinite(spread)) continue;
    char text[160];
    snprintf(text, sizeof text,
             "reference image %d (box at x %d, y %d) has no finite spread above 0, so its particle cannot be "
             "matched to the micrograph",
             i + 1, boxes[i].x, boxes[i].y);
    return text;
  }
  return "";
}

void cpu_x2d_norm_cp_ptcls_to_micrograph(float* large, float* smalls, const float* refs, int large_nx, int large_ny,
                                         int nx, int ny, int count, const PTCL_BOX* boxes) {
  const std::string problem = particle_paste_problem(refs, nx, ny, count, boxes);
  if (!problem.empty()) QUIB_FATAL("micrograph_particles", problem.c_str());
  const size_t plane = static_cast<size_t>(nx) * ny;
  std::vector<float> region(plane);
  for (int i = 0; i < count; ++i) {
    cpu_x2d_extract_ptcls_from_micrograph(region.data(), nx, ny, 1, large, large_nx, large_ny, boxes + i);
    const float* ref = refs + i * plane;
    const float k = static_cast<float>(hm_stdv(region.data(), plane) / hm_stdv(ref, plane));
    const float c = static_cast<float>(hm_mean(region.data(), plane) - hm_mean(ref, plane) * k);
    float* small = smalls + i * plane;
    hm_linear_norm_kb_inplace(small, plane, k, c);
    for_box_pixels(
        boxes[i], nx, ny, large_nx, large_ny, [&](size_t s, size_t l) { large[l] = small[s]; }, [](size_t) {});
  }
}
