#include "run/local_refine_stage.h"

#include <unistd.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "backend/device.h"
#include "core/ctf_model.h"
#include "core/report.h"
#include "ctf/display_images.h"
#include "ctf/local_refine.h"
#include "io/ptcl_box.h"
#include "io/ptcl_box_reader.h"
#include "output/diagnosis_image.h"
#include "output/particle_ctf_stack.h"
#include "output/particle_star_file.h"
#include "run/micrograph_names.h"
#include "run/stage_settings.h"

namespace {

__attribute__((format(printf, 2, 3))) void log_and_print(FILE* log, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(log, format, args);
  va_end(args);
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
}

// The particles of a box file, or why it cannot be used.
struct BoxFileParticles {
  std::vector<PTCL_BOX> boxes;
  std::string problem;
};

BoxFileParticles read_box_file(const std::string& path) {
  BoxFileParticles read;
  if (access(path.c_str(), F_OK) != 0) {
    read.problem = "does not exist";
    return read;
  }
  const int format = get_boxf_suffixf(path.c_str());
  if (format == BOXF_UNKNOWN) {
    read.problem = "is neither an EMAN .box nor a RELION .star file";
    return read;
  }
  FilePtr file(fopen(path.c_str(), "r"));
  if (!file) {
    read.problem = "cannot be read";
    return read;
  }
  read.boxes.resize(PTCL_BOX_CAPACITY);
  const PtclBoxParse parsed = parse_ptcl_boxes(file.get(), format, read.boxes.data(), PTCL_BOX_CAPACITY, path.c_str());
  if (parsed.bad_line) {
    read.problem = "holds " + std::to_string(parsed.bad_words) + " word(s) on line " + std::to_string(parsed.bad_line) +
                   "; an EMAN box line needs four to seven";
    read.boxes.clear();
    return read;
  }
  read.boxes.resize(parsed.count);
  return read;
}

void warn_skipped(const char* micrograph, const std::string& reason) {
  printf("Warning: local refinement of %s is skipped: %s.\n", micrograph, reason.c_str());
}

std::vector<ParticleCentre> particle_centres(const std::vector<PTCL_BOX>& boxes) {
  std::vector<ParticleCentre> centres(boxes.size());
  for (size_t i = 0; i < boxes.size(); ++i) ptcl_box_centre(boxes[i], centres[i].x, centres[i].y);
  return centres;
}

// Why the refinement of the plan does not fit the device memory, or "".
std::string memory_shortage(const LocalRefinePlan& plan, int weighting_type) {
  const double mib = 1024.0 * 1024.0;
  const size_t needed = local_refinement_bytes(plan, weighting_type), available = device_memory_available();
  if (needed <= available) return "";
  char text[320];
  snprintf(text, sizeof text,
           "the spectra of its %zu grid boxes need %.0f MiB, but %.0f MiB are available; lower --local_overlap "
           "(a coarser grid) or --local_boxsize",
           plan.boxes_in_use.size(), needed / mib, available / mib);
  return text;
}

// Draws the particle's diagnosis image: the fitted |CTF| E beside its spectrum (or, with --do_EPA,
// the spectrum's equiphase average), or a blank image when nothing was fitted.
void draw_particle_image(std::vector<float>& image, const LocalRefiner& refiner, int particle, bool fitted,
                         const CtfModel& model, const QUIB_Para& p, const LocalRefineSettings& s, float* epa) {
  const int box = s.box;
  const size_t half = static_cast<size_t>(box / 2 + 1) * box;
  if (!fitted) {
    image.assign(image.size(), 0.0f);
    return;
  }
  std::vector<float> sim = host_copy_of(refiner.work.get(), half);
  const float* measured = particle_spectrum(refiner, particle);
  if (p.do_EPA) {
    hcuda_2d_half_EPA(measured, epa, box / 2 + 1, box, s.fit.optics, model, s.fit.band);
    measured = epa;
  }
  std::vector<float> spectrum = host_copy_of(measured, half);
  compose_diagnosis_image(image.data(), sim.data(), spectrum.data(), box, p.apix, p.local_resH, 0.0f);
}

}  // namespace

void refine_micrograph_locally(const MicrographFiles& f, const QUIB_Para& p, const RunGeometry& g, const RunBuffers& b,
                               const CTF_INFO& ctf) {
  const LocalRefineFiles names = local_refine_files(f.name, p);
  const BoxFileParticles particles = read_box_file(names.box);
  if (!particles.problem.empty())
    return warn_skipped(f.name, "its box file " + names.box + " " + particles.problem + " (see --boxsuffix)");
  const LocalRefineSettings settings = local_refine_settings(p, f.index);
  const std::vector<ParticleCentre> centres = particle_centres(particles.boxes);
  const LocalRefinePlan plan = plan_local_refinement(g.nx, g.ny, settings, centres);
  const std::string shortage = memory_shortage(plan, settings.weighting.type);
  if (!shortage.empty()) return warn_skipped(f.name, shortage);

  ParticleStarFile star = create_particle_star(names.star);
  printf("Writing out star file %s for local refinement\n", names.star.c_str());
  const int count = static_cast<int>(particles.boxes.size());
  const bool images = p.write_local_ctf && count > 0;
  ParticleCtfStack stack = images ? create_particle_ctf_stack(names.ctf, settings.box, count) : ParticleCtfStack{};
  printf("Using box file %s for local refinement\n", names.box.c_str());
  log_and_print(f.log, "Total particle number for local refinement: %d\n", count);
  log_and_print(f.log, "\n       X       Y       Defocus_U   Defocus_V       Angle         CCC\n");

  LocalRefiner refiner = start_local_refiner(b.image.get(), plan, settings.weighting.type);
  const DeviceBuffer<float> epa(images && p.do_EPA ? static_cast<size_t>(settings.box / 2 + 1) * settings.box : 0);
  std::vector<float> image(images ? static_cast<size_t>(settings.box) * settings.box : 0);
  const CtfModel start = ctf_model_of(ctf);
  const Optics optics = run_optics(p);
  const float magnification = static_cast<float>(p.dstep * 10000.0 / p.apix);
  for (int i = 0; i < count; ++i) {
    const int x = centres[i].x, y = centres[i].y;
    const bool has_boxes = !plan.neighbourhoods[i].empty();
    const CtfFit fit = refine_particle(refiner, plan, i, start, settings, f.log);
    const CtfModel& m = fit.model;
    if (has_boxes)
      log_and_print(f.log, "%8d%8d%12.2f%12.2f%12.2f%12.6f  Local Values\n", x, y, m.defocus_u, m.defocus_v, m.angle,
                    fit.ccc);
    else
      log_and_print(f.log,
                    "%8d%8d%12.2f%12.2f%12.2f%12.6f  Local Values0: no grid box within --local_radius, "
                    "the micrograph's values are kept\n",
                    x, y, m.defocus_u, m.defocus_v, m.angle, fit.ccc);
    append_particle_star_row(star,
                             {f.name, x, y, m, optics, magnification, p.dstep, fit.ccc, particles.boxes[i].score});
    if (!images) continue;
    draw_particle_image(image, refiner, i, has_boxes, m, p, settings, epa.get());
    append_particle_ctf_image(stack, image.data());
  }
  close_particle_star(star);
  if (images) close_particle_ctf_stack(stack);
}
