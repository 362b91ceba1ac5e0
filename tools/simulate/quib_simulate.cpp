// quib_simulate: writes a synthetic micrograph or movie with a known CTF as an MRC file,
// optionally its particle coordinates, and prints the true values as one line (see --help).
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "backend/workspace.h"
#include "core/report.h"
#include "simulate/coordinate_files.h"
#include "simulate/mrc_output.h"
#include "simulate/sim_options.h"
#include "simulate/simulate.h"

int main(int argc, char** argv) {
  WorkspaceScope workspace;
  const SimOptions o = parse_sim_options(argc, argv);
  if (o.help) {
    print_sim_help(argv[0]);
    return 0;
  }
  const SimParams& p = o.params;
  try {
    MrcFrameWriter writer(o.output, p.nx, p.ny, p.nz, o.mode, p.apix);
    const std::vector<ParticleTruth> particles =
        simulate_frames(p, [&](int, const std::vector<float>& counts) { writer.add_frame(counts.data()); });
    writer.finish();
    if (!o.box_file.empty()) write_box_file(o.box_file, particles, p.box);
    if (!o.star_file.empty()) write_star_file(o.star_file, particles);
    if (static_cast<int>(particles.size()) < p.nptcl) {
      const std::string text = "only " + std::to_string(particles.size()) + " of " + std::to_string(p.nptcl) +
                               " particles fit into the image";
      QUIB_WARNING("quib_simulate", text.c_str());
    }
    printf("%s\n", sim_truth_line(o, static_cast<int>(particles.size())).c_str());
  } catch (const std::bad_alloc&) {
    QUIB_FATAL("quib_simulate", "not enough memory for an image of this size");
  }
  return 0;
}
