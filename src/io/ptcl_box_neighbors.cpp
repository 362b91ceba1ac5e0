#include "io/ptcl_box_neighbors.h"

#include <cmath>

#include "core/report.h"
#include "io/ptcl_box_reader.h"

namespace {

// Visits the grid offsets (dx, dy) inside the disc with their squared distance, in generation
// order, at most limit of them. Returns the number of offsets, counting at most limit + 1: the
// answer limit + 1 means some were left out. Positions and distances are worked out in 64 bits
// and double so that no radius or step overflows.
template <class Visit>
int walk_neighbor_grid(float radius, int step, int limit, Visit visit) {
  if (step < 1) return 0;
  const float radius2 = radius * radius;
  int n = 0;
  for (long long j = 0; radius > static_cast<float>(j * step); ++j)
    for (long long i = 0; radius > static_cast<float>(i * step); ++i) {
      const float d2 = static_cast<float>(static_cast<double>(i * i + j * j) * step * step);
      if (!(radius2 >= d2)) continue;
      const long long offsets[4][2] = {{i, j}, {-i, j}, {-i, -j}, {i, -j}};
      const bool used[4] = {true, i != 0, i != 0 && j != 0, j != 0};
      for (int k = 0; k < 4; ++k) {
        if (!used[k]) continue;
        if (n == limit) return limit + 1;
        visit(offsets[k][0] * step, offsets[k][1] * step, d2);
        ++n;
      }
    }
  return n;
}

}  // namespace

float neighbor_box_weight(float d2, float radius) { return 0.3989423f * expf(-d2 / (radius * radius / 4.5f)); }

int count_neighbor_boxes(float radius, int step) {
  return walk_neighbor_grid(radius, step, PTCL_BOX_CAPACITY, [](long long, long long, float) {});
}

int auto_generate_neighbor_boxes(PTCL_BOX* out, int capacity, const PTCL_BOX* centre, float radius, int box_size,
                                 int step) {
  empty_all_ptcl_boxes(out, capacity);
  int cx, cy;
  ptcl_box_centre(*centre, cx, cy);
  const int half = box_size / 2;
  int n = 0;
  const int total = walk_neighbor_grid(radius, step, capacity, [&](long long dx, long long dy, float d2) {
    PTCL_BOX& box = out[n++];
    box.x = clamp_to_int(cx + dx - half);
    box.y = clamp_to_int(cy + dy - half);
    box.width = box_size;
    box.height = box_size;
    box.score = neighbor_box_weight(d2, radius);
    box.distance = sqrtf(d2);
  });
  if (total > n) {
    char text[160];
    snprintf(text, sizeof text, "radius %g and step %d give more than %d neighbour boxes; the rest are left out",
             radius, step, capacity);
    QUIB_WARNING("ptcl_box_neighbors.cpp", text);
  }
  return n;
}

int generate_neighbor_boxes_from_boxf(PTCL_BOX* out, int capacity, const PTCL_BOX* centre, float radius, int box_size,
                                      const char* path) {
  const int n = read_all_ptcl_boxes(out, capacity, path);
  int cx, cy;
  ptcl_box_centre(*centre, cx, cy);
  for (int i = 0; i < n; ++i) {
    int x, y;
    ptcl_box_centre(out[i], x, y);
    const double dx = static_cast<double>(x) - cx;
    const double dy = static_cast<double>(y) - cy;
    out[i].score = neighbor_box_weight(static_cast<float>(dx * dx + dy * dy), radius);
  }
  resize_ptcl_boxes(out, n, box_size);
  return n;
}
