// The fixed-tree sum of values computed on the fly: value(i), i < n, added in consecutive blocks of
// the tree's width exactly as the sums of array_reduce.h add stored arrays, so that a kernel can
// total what it computes without storing it first and still agree bit for bit with summing the
// stored values. Include it only from library sources that contain kernels (backend/launch.h).
#pragma once

#include <cstddef>
#include <utility>

#include "backend/launch.h"
#include "backend/memory.h"
#include "backend/workspace.h"

namespace tree_total_detail {

struct PassTotals {};

// Workspace scratch for pass totals, grown to the largest request.
inline float* tree_scratch(size_t n) { return workspace().scratch<PassTotals, float>(n); }

template <class F>
void tree_pass(size_t width, size_t n, float* totals, F value) {
  if (width == kTreeWidth2)
    launch_tree_sums_2048(n, totals, value);
  else
    launch_tree_sums_1024(n, totals, value);
}

}  // namespace tree_total_detail

// The total of value(i), i < n, by passes of the tree of the given width. The first pass writes
// its block totals into `first` (ceil(n / width) floats), the second into `second`
// (ceil(n / width^2) floats), and later passes alternate between them: no pass stores over the
// values that another block of the same pass still reads.
template <class F>
float tree_total(size_t width, size_t n, F value, float* first, float* second) {
  if (n == 0) return 0.0f;
  tree_total_detail::tree_pass(width, n, first, value);
  float* in = first;
  float* out = second;
  for (size_t m = tree_block_count(n, width); m > 1; m = tree_block_count(m, width)) {
    const float* totals = in;
    tree_total_detail::tree_pass(width, m, out, [=] QUIB_HD(size_t i) { return totals[i]; });
    std::swap(in, out);
  }
  float total = 0.0f;
  memcpy_D2H(&total, in, sizeof total);
  return total;
}

// tree_total with every pass in the workspace scratch.
template <class F>
float tree_total_of(size_t width, size_t n, F value) {
  const size_t first = tree_block_count(n, width);
  float* scratch = tree_total_detail::tree_scratch(first + tree_block_count(first, width));
  return tree_total(width, n, value, scratch, scratch + first);
}

// tree_total with the first pass in the caller's scratch and the rest in the workspace scratch.
template <class F>
float caller_tree_total(size_t width, size_t n, F value, float* scratch) {
  float* second = tree_total_detail::tree_scratch(tree_block_count(tree_block_count(n, width), width));
  return tree_total(width, n, value, scratch, second);
}
