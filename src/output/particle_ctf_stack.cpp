#include "output/particle_ctf_stack.h"

#include <algorithm>

#include "core/report.h"
#include "io/mrc_write.h"
#include "stats/host_extremes.h"

namespace {

const char* const kUnit = "particle_ctf_stack.cpp";

[[noreturn]] void write_failed(const ParticleCtfStack& stack) { QUIB_FATAL_WRITE_FAILED(kUnit, stack.path.c_str()); }

}  // namespace

ParticleCtfStack create_particle_ctf_stack(const std::string& path, int box, int count) {
  ParticleCtfStack stack{path, FilePtr(fopen(path.c_str(), "w+")), mrc_new_head()};
  if (!stack.file) QUIB_FATAL_CANNOT_WRITE(kUnit, path.c_str());
  mrc_set_head_xyz_mmm(stack.head.get(), box, box, count, -1.0f, 100.0f, 0.0f);
  mrc_set_head_mode(stack.head.get(), 2);
  mrc_set_head_plain_layout(stack.head.get());
  if (mrc_write_head(stack.file.get(), stack.head.get()) != 0) write_failed(stack);
  return stack;
}

void append_particle_ctf_image(ParticleCtfStack& stack, const float* image) {
  MRC_HEAD& head = *stack.head;
  const size_t n = mrc_section_voxels(&head);
  float max = 0.0f, min = 0.0f, mean = 0.0f;
  max_min_mean_value(image, n, max, min, mean);
  head.dmax = stack.written == 0 ? max : std::max(head.dmax, max);
  head.dmin = stack.written == 0 ? min : std::min(head.dmin, min);
  stack.sum += static_cast<double>(mean) * n;
  ++stack.written;
  head.dmean = static_cast<float>(stack.sum / (static_cast<double>(n) * stack.written));
  if (mrc_add_slice(stack.file.get(), &head, image) != 0) write_failed(stack);
}

void close_particle_ctf_stack(ParticleCtfStack& stack) {
  if (mrc_write_head(stack.file.get(), stack.head.get()) != 0) write_failed(stack);
  const bool failed = fflush(stack.file.get()) != 0 || ferror(stack.file.get()) != 0;
  if (fclose(stack.file.release()) != 0 || failed) write_failed(stack);
}
