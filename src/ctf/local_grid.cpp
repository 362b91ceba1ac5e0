#include "ctf/local_grid.h"

#include <algorithm>
#include <cmath>

namespace {

int boxes_along(int size, int box, int step) { return size < box ? 0 : (size - box) / step + 1; }

// The grid indices whose box centres (index step + box / 2) lie within `reach` of `position`; an
// empty range (first > last) when none do. Worked out in double, so far-off positions cannot overflow.
void index_range(int position, double reach, const LocalGrid& g, int count, int& first, int& last) {
  const double centre0 = g.box / 2;
  const double low = std::ceil((position - reach - centre0) / g.step);
  const double high = std::floor((position + reach - centre0) / g.step);
  first = static_cast<int>(std::clamp(low, 0.0, static_cast<double>(count)));
  last = static_cast<int>(std::clamp(high, -1.0, count - 1.0));
}

}  // namespace

LocalGrid local_grid(int nx, int ny, int box, int step) {
  return {nx, ny, box, step, boxes_along(nx, box, step), boxes_along(ny, box, step)};
}

int local_grid_box_total(const LocalGrid& grid) { return grid.across * grid.down; }

std::vector<NeighbourBox> local_neighbourhood(const LocalGrid& g, int x, int y, float radius) {
  std::vector<NeighbourBox> near;
  if (!(radius >= 0.0f)) return near;
  int i0, i1, j0, j1;
  index_range(x, radius, g, g.across, i0, i1);
  index_range(y, radius, g, g.down, j0, j1);
  const double radius2 = static_cast<double>(radius) * radius;
  for (int j = j0; j <= j1; ++j)
    for (int i = i0; i <= i1; ++i) {
      const double dx = static_cast<double>(i) * g.step + g.box / 2 - x;
      const double dy = static_cast<double>(j) * g.step + g.box / 2 - y;
      const double d2 = dx * dx + dy * dy;
      if (d2 <= radius2) near.push_back({j * g.across + i, static_cast<float>(std::sqrt(d2))});
    }
  return near;
}
