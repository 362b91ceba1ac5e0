// quib_filter: bins, resamples, band-passes and masks the images of an MRC file, or cuts particles
// out of a micrograph and pastes them back (see --help).
#include <sys/stat.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "backend/workspace.h"
#include "core/report.h"
#include "filter/filter_header.h"
#include "filter/filter_options.h"
#include "filter/filter_particles.h"
#include "filter/filter_steps.h"
#include "io/mrc_read.h"
#include "io/mrc_write.h"

namespace {

// True when both names lead to one existing file (or are the same text).
bool same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

int main(int argc, char** argv) {
  const FilterOptions o = parse_filter_options(argc, argv);
  if (o.help) {
    print_filter_help(argv[0]);
    return 0;
  }
  if (same_file(o.input, o.output)) QUIB_FATAL("quib_filter", "the output file must not be the input file");
  WorkspaceScope workspace;
  try {
    if (!o.extract_boxes.empty()) {
      extract_particles(o);
      return 0;
    }
    if (!o.paste_stack.empty()) {
      paste_particles(o);
      return 0;
    }
    MrcHeadPtr head = get_mrcf_head(o.input.c_str());
    if (!head) QUIB_FATAL("quib_filter", "the input is shorter than an MRC header");
    const float apix = o.apix > 0.0f ? o.apix : header_apix(*head);
    const int nx = head->nx, ny = head->ny, nz = head->nz;
    const HostBuffer<float> images = get_mrcf_data_all(o.input.c_str());
    if (const char* problem = filter_problem(o, nx, ny, apix)) QUIB_FATAL("quib_filter", problem);
    std::vector<float> result;
    if (filter_images(o, images.get(), nx, ny, nz, apix, result) != 0)
      QUIB_FATAL("quib_filter", "the device failed while filtering");
    const FilteredShape shape = filtered_shape(o, nx, ny, apix);
    set_output_head(*head, shape.nx, shape.ny, nz, shape.apix);
    if (mrcf_write_head_data(o.output.c_str(), head.get(), result.data()) != 0)
      QUIB_FATAL_WRITE_FAILED("quib_filter", o.output.c_str());
  } catch (const std::bad_alloc&) {
    QUIB_FATAL("quib_filter", "not enough memory for images of this size");
  }
  return 0;
}
