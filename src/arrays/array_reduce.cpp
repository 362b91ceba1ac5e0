#include "arrays/array_reduce.h"

#include <utility>

#include "arrays/array_ops_1d.h"
#include "backend/launch.h"
#include "backend/memory.h"
#include "backend/workspace.h"

namespace {

struct PassTotals {};

// Workspace scratch for pass totals, grown to the largest request.
float* tree_scratch(size_t n) { return workspace().scratch<PassTotals, float>(n); }

template <class F>
void tree_pass(size_t width, size_t n, float* totals, F value) {
  if (width == kTreeWidth2)
    launch_tree_sums_2048(n, totals, value);
  else
    launch_tree_sums_1024(n, totals, value);
}

// The total of value(i), i < n, by passes of the tree of the given width. The first pass writes
// its block totals into `first` (ceil(n / width) floats), the second into `second`
// (ceil(n / width^2) floats), and later passes alternate between them: no pass stores over the
// values that another block of the same pass still reads.
template <class F>
float tree_total(size_t width, size_t n, F value, float* first, float* second) {
  if (n == 0) return 0.0f;
  tree_pass(width, n, first, value);
  float* in = first;
  float* out = second;
  for (size_t m = tree_block_count(n, width); m > 1; m = tree_block_count(m, width)) {
    const float* totals = in;
    tree_pass(width, m, out, [=] QUIB_HD(size_t i) { return totals[i]; });
    std::swap(in, out);
  }
  float total = 0.0f;
  memcpy_D2H(&total, in, sizeof total);
  return total;
}

// tree_total with every pass in the workspace scratch.
template <class F>
float scratch_tree_total(size_t width, size_t n, F value) {
  const size_t first = tree_block_count(n, width);
  float* scratch = tree_scratch(first + tree_block_count(first, width));
  return tree_total(width, n, value, scratch, scratch + first);
}

// tree_total with the first pass in the caller's scratch and the rest in the workspace scratch.
template <class F>
float caller_tree_total(size_t width, size_t n, F value, float* scratch) {
  float* second = tree_scratch(tree_block_count(tree_block_count(n, width), width));
  return tree_total(width, n, value, scratch, second);
}

}  // namespace

float hcuda_fast_sum(const float* data, size_t n) {
  return scratch_tree_total(kTreeWidth, n, [=] QUIB_HD(size_t i) { return data[i]; });
}

float hcuda_fast_sum2(const float* data, float* scratch, size_t n) {
  return caller_tree_total(kTreeWidth, n, [=] QUIB_HD(size_t i) { return data[i]; }, scratch);
}

float hcuda_fast_sum_inplace(float* data, size_t n) { return hcuda_fast_sum(data, n); }

float hcuda_fast_sum6(const float* data, float* scratch, size_t n) {
  return caller_tree_total(kTreeWidth2, n, [=] QUIB_HD(size_t i) { return data[i]; }, scratch);
}

float hcuda_fast_sum6_inplace(float* data, size_t n) {
  return scratch_tree_total(kTreeWidth2, n, [=] QUIB_HD(size_t i) { return data[i]; });
}

float hcuda_fast_sumsqr(const float* data, size_t n) {
  return scratch_tree_total(kTreeWidth, n, [=] QUIB_HD(size_t i) { return data[i] * data[i]; });
}

float hcuda_fast_sumsqr_inplace(float* data, size_t n) {
  hcuda_sqr_inplace(data, n);
  return hcuda_fast_sum(data, n);
}

float hcuda_fast_mean(const float* data, size_t n) { return hcuda_fast_sum(data, n) / static_cast<float>(n); }

float hcuda_fast_submean_sumsqr(const float* data, size_t n) {
  const float mean = hcuda_fast_mean(data, n);
  return scratch_tree_total(kTreeWidth, n, [=] QUIB_HD(size_t i) { return cuda_sub_sqr(data[i], mean); });
}

float hcuda_fast_sum_withmask(const float* data, const float* mask, size_t n) {
  return scratch_tree_total(kTreeWidth, n, [=] QUIB_HD(size_t i) { return data[i] * mask[i]; });
}

float hcuda_fast_sumsqr_withmask(const float* data, const float* mask, size_t n) {
  return scratch_tree_total(kTreeWidth, n, [=] QUIB_HD(size_t i) { return cuda_sqr_withmask(data[i], mask[i]); });
}

float hcuda_mean_withmask(const float* data, const float* mask, size_t n) {
  return hcuda_fast_sum_withmask(data, mask, n) / hcuda_fast_sum(mask, n);
}

float hcuda_fast_submean_sumsqr_withmask(const float* data, const float* mask, size_t n) {
  const float mean = hcuda_mean_withmask(data, mask, n);
  return scratch_tree_total(kTreeWidth, n,
                            [=] QUIB_HD(size_t i) { return cuda_data_submean_sqr_withmask(data[i], mask[i], mean); });
}
