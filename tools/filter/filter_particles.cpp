#include "filter/filter_particles.h"

#include <climits>
#include <cstddef>
#include <string>
#include <vector>

#include "arrays/micrograph_particles.h"
#include "core/report.h"
#include "filter/filter_header.h"
#include "io/mrc_read.h"
#include "io/mrc_write.h"
#include "io/ptcl_box_reader.h"

namespace {

[[noreturn]] void refuse(const std::string& text) { QUIB_FATAL("quib_filter", text.c_str()); }

// The boxes of a box file, which must all have one size of at least 1 x 1 pixel.
std::vector<PTCL_BOX> read_sized_boxes(const std::string& path) {
  std::vector<PTCL_BOX> boxes(PTCL_BOX_CAPACITY);
  boxes.resize(read_all_ptcl_boxes(boxes.data(), PTCL_BOX_CAPACITY, path.c_str()));
  if (boxes.empty()) refuse("no particle boxes were read from " + path);
  if (boxes[0].width < 1 || boxes[0].height < 1)
    refuse("the boxes of " + path + " have no size; give an EMAN .box file with corners, widths and heights");
  for (const PTCL_BOX& box : boxes)
    if (box.width != boxes[0].width || box.height != boxes[0].height)
      refuse("the boxes of " + path + " differ in size; they must all be alike");
  return boxes;
}

MrcHeadPtr read_head(const std::string& path) {
  MrcHeadPtr head = get_mrcf_head(path.c_str());
  if (!head) refuse(path + " is shorter than an MRC header");
  return head;
}

void write_output(const FilterOptions& o, MRC_HEAD& head, const float* data) {
  if (mrcf_write_head_data(o.output.c_str(), &head, data) != 0)
    QUIB_FATAL_WRITE_FAILED("quib_filter", o.output.c_str());
}

}  // namespace

void extract_particles(const FilterOptions& o) {
  const std::vector<PTCL_BOX> boxes = read_sized_boxes(o.extract_boxes);
  MrcHeadPtr head = read_head(o.input);
  const float apix = o.apix > 0.0f ? o.apix : header_apix(*head);
  const int nx = head->nx, ny = head->ny, nz = head->nz;
  const int count = static_cast<int>(boxes.size()), w = boxes[0].width, h = boxes[0].height;
  if (static_cast<long long>(count) * nz > INT_MAX) refuse("the stack would hold too many particles");
  const HostBuffer<float> images = get_mrcf_data_all(o.input.c_str());
  const size_t section = static_cast<size_t>(nx) * ny, particles = static_cast<size_t>(w) * h * count;
  std::vector<float> stack(particles * nz);
  for (int z = 0; z < nz; ++z)
    cpu_x2d_extract_ptcls_from_micrograph(stack.data() + z * particles, w, h, count, images.get() + z * section, nx, ny,
                                          boxes.data());
  set_output_head(*head, w, h, count * nz, apix);
  write_output(o, *head, stack.data());
}

void paste_particles(const FilterOptions& o) {
  const std::vector<PTCL_BOX> boxes = read_sized_boxes(o.paste_boxes);
  MrcHeadPtr head = read_head(o.input);
  const float apix = o.apix > 0.0f ? o.apix : header_apix(*head);
  if (head->nz != 1) refuse("--paste needs a micrograph of one section");
  const int count = static_cast<int>(boxes.size()), w = boxes[0].width, h = boxes[0].height;
  MrcHeadPtr stack_head = read_head(o.paste_stack);
  if (stack_head->nx != w || stack_head->ny != h || stack_head->nz != count)
    refuse("the stack " + o.paste_stack + " holds " + std::to_string(stack_head->nz) + " image(s) of " +
           std::to_string(stack_head->nx) + " x " + std::to_string(stack_head->ny) + " pixels, but " + o.paste_boxes +
           " has " + std::to_string(count) + " box(es) of " + std::to_string(w) + " x " + std::to_string(h));
  HostBuffer<float> stack = get_mrcf_data_all(o.paste_stack.c_str());
  const std::string problem = particle_paste_problem(stack.get(), w, h, count, boxes.data());
  if (!problem.empty()) refuse("stack " + o.paste_stack + ": " + problem);
  HostBuffer<float> micrograph = get_mrcf_data_all(o.input.c_str());
  cpu_x2d_norm_cp_ptcls_to_micrograph(micrograph.get(), stack.get(), stack.get(), head->nx, head->ny, w, h, count,
                                      boxes.data());
  set_output_head(*head, head->nx, head->ny, 1, apix);
  write_output(o, *head, micrograph.get());
}
