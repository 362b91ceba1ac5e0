#include "output/particle_star_file.h"

#include "core/report.h"

namespace {

const char* const kUnit = "particle_star_file.cpp";

void check_written(const ParticleStarFile& star) {
  if (ferror(star.file.get())) QUIB_FATAL_WRITE_FAILED(kUnit, star.path.c_str());
}

}  // namespace

ParticleStarFile create_particle_star(const std::string& path) {
  ParticleStarFile star{path, FilePtr(fopen(path.c_str(), "w"))};
  if (!star.file) QUIB_FATAL_CANNOT_WRITE(kUnit, path.c_str());
  particle_star_write_head(star.file.get());
  check_written(star);
  return star;
}

void append_particle_star_row(ParticleStarFile& star, const ParticleStarRow& row) {
  particle_star_write_oneline(star.file.get(), row);
  check_written(star);
}

void close_particle_star(ParticleStarFile& star) {
  const bool failed = fflush(star.file.get()) != 0 || ferror(star.file.get()) != 0;
  if (fclose(star.file.release()) != 0 || failed) QUIB_FATAL_WRITE_FAILED(kUnit, star.path.c_str());
}
