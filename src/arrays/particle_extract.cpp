#include "arrays/particle_extract.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "backend/launch.h"
#include "backend/memory.h"

bool ptcl_box_inside_image(const PTCL_BOX& box, int width, int height, int nx, int ny) {
  return width > 0 && height > 0 && box.x >= 0 && box.y >= 0 && static_cast<long long>(box.x) + width < nx &&
         static_cast<long long>(box.y) + height < ny;
}

int count_ptcl_boxes_inside_image(const PTCL_BOX* boxes, int nboxes, int nx, int ny) {
  int count = 0;
  for (int b = 0; b < nboxes; ++b) count += ptcl_box_inside_image(boxes[b], boxes[0].width, boxes[0].height, nx, ny);
  return count;
}

int hcuda_2d_read_ptcls_to_2ds_from_boxes(float* stack, const PTCL_BOX* boxes, float* distances, int nboxes,
                                          const float* image, int nx, int ny) {
  if (nboxes <= 0) return 0;
  const int w = boxes[0].width, h = boxes[0].height;
  std::vector<int> corners;
  std::vector<float> taken_distances;
  for (int b = 0; b < nboxes; ++b) {
    if (!ptcl_box_inside_image(boxes[b], w, h, nx, ny)) continue;
    corners.push_back(boxes[b].x);
    corners.push_back(boxes[b].y);
    taken_distances.push_back(boxes[b].distance);
  }
  const int count = static_cast<int>(taken_distances.size());
  if (count == 0) return 0;
  const DeviceBuffer<int> d_corners = device_copy_of(corners);
  const int* corner = d_corners.get();
  // One pass over every row of every box cut.
  launch_2d(w, count * h, [=] QUIB_HD(int x, int row) {
    const int k = row / h, r = row - k * h;
    stack[static_cast<size_t>(row) * w + x] = image[static_cast<size_t>(corner[2 * k + 1] + r) * nx + corner[2 * k] + x];
  });
  memcpy_H2D(distances, taken_distances.data(), count * sizeof(float));
  return count;
}

int host_2d_read_ptcls_to_2ds_from_boxes(float* stack, const PTCL_BOX* boxes, int nboxes, const float* image, int nx,
                                         int ny) {
  if (nboxes <= 0) return 0;
  const int w = boxes[0].width, h = boxes[0].height;
  int count = 0;
  for (int b = 0; b < nboxes; ++b) {
    const PTCL_BOX& box = boxes[b];
    if (!ptcl_box_inside_image(box, w, h, nx, ny)) {
      printf("Warning: box (%d %d %d %d)out of range, skip extracting this particle!\n", box.x, box.y, box.width,
             box.height);
      continue;
    }
    float* out = stack + static_cast<size_t>(count) * w * h;
    for (int r = 0; r < h; ++r)
      memcpy(out + static_cast<size_t>(r) * w, image + static_cast<size_t>(box.y + r) * nx + box.x, w * sizeof(float));
    ++count;
  }
  return count;
}
