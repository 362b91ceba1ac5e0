// Forward transforms of many equally sized boxes, made in batches: the boxes of a batch lie one
// after another in a device buffer and go through one call of the FFT plan, which the CPU backend
// spreads over the cores. A batch holds at most 256 MiB and as many boxes as the backend wants
// (fft_batch_boxes_wanted); its scratch is kept in the
// calling thread's workspace.
#pragma once

#include <algorithm>

#include "backend/fft_plan.h"
#include "backend/workspace.h"

struct BatchScratch {
  float* boxes;        // room for `capacity` real boxes; null unless asked for
  float2* transforms;  // room for `capacity` half-complex transforms
  int capacity;
};

// Ends the program with a message unless bx and by are positive.
void check_box_size(int bx, int by);

BatchScratch batch_scratch(int bx, int by, bool with_boxes);

// For first = 0, capacity, 2 capacity, ... below total: boxes_at(first, count, scratch boxes)
// returns the device address of `count` consecutive bx x by boxes (its own, or cut into the scratch
// boxes when cut_into_scratch is set); they are transformed, and use(first, count, transforms)
// receives the transforms, (bx/2 + 1) by values each, one after another. A failed transform (recorded
// as a device failure) ends the loop.
template <class BoxesAt, class Use>
void for_each_transform_batch(int bx, int by, int total, bool cut_into_scratch, BoxesAt boxes_at, Use use) {
  const BatchScratch scratch = batch_scratch(bx, by, cut_into_scratch);
  const FftPlan2d& plan = fft_plan_2d(bx, by);
  for (int first = 0; first < total; first += scratch.capacity) {
    const int count = std::min(scratch.capacity, total - first);
    if (plan.forward(boxes_at(first, count, scratch.boxes), scratch.transforms, count) != 0) return;
    use(first, count, scratch.transforms);
  }
}
