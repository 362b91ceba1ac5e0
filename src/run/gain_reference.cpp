#include "run/gain_reference.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "core/file_ptr.h"
#include "core/report.h"
#include "io/micrograph_file.h"

namespace {

[[noreturn]] void refuse_gain(const char* path, const std::string& why) {
  printf("The gain reference %s cannot be used: %s.\n", path, why.c_str());
  QUIB_FATAL("quib", "The gain reference cannot be used");
}

}  // namespace

GainReference load_gain_reference(const char* path) {
  const FilePtr file(fopen(path, "rb"));
  if (!file) QUIB_FATAL_CANNOT_READ("quib", path);
  MRC_HEAD head;
  const std::string unreadable = micrograph_read_head(file.get(), &head);
  const char* format = micrograph_format_name(micrograph_format(file.get()));
  if (!unreadable.empty())
    refuse_gain(path, std::string("it is not a readable ") + format + " file (" + unreadable + ")");
  if (head.nz != 1)
    refuse_gain(path, "it holds " + std::to_string(head.nz) + " images; a gain reference is a single image");
  GainReference gain;
  gain.nx = head.nx;
  gain.ny = head.ny;
  gain.values = HostBuffer<float>(mrc_section_voxels(&head));
  std::string why;
  if (!micrograph_read_all(file.get(), &head, gain.values.get(), why))
    refuse_gain(path, "its pixels could not be read" + (why.empty() ? std::string() : " (" + why + ")"));
  for (size_t i = 0; i < gain.values.size(); ++i)
    if (!std::isfinite(gain.values.get()[i]))
      refuse_gain(path, "pixel " + std::to_string(i % gain.nx) + ", " + std::to_string(i / gain.nx) +
                            " holds a value that is not a finite number");
  printf("Gain reference %s (%d x %d) multiplies every frame.\n", path, gain.nx, gain.ny);
  return gain;
}

void check_gain_size(const GainReference& gain, const char* path, int nx, int ny, const char* first_micrograph) {
  if (gain.nx == nx && gain.ny == ny) return;
  refuse_gain(path, "it is " + std::to_string(gain.nx) + " x " + std::to_string(gain.ny) +
                        " pixels, but the run's first micrograph " + first_micrograph + " is " + std::to_string(nx) +
                        " x " + std::to_string(ny));
}

void apply_gain(const float* gain, size_t pixels, float* images, int frames) {
  for (int f = 0; f < frames; ++f) {
    float* image = images + static_cast<size_t>(f) * pixels;
    for (size_t i = 0; i < pixels; ++i) image[i] *= gain[i];
  }
}
