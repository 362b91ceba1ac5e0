#include "simulate/coordinate_files.h"

#include <cstdio>

#include "io/mrc_header.h"
#include "io/star_writer.h"

void write_box_file(const std::string& path, const std::vector<ParticleTruth>& particles, int box) {
  FilePtr file = MRC_OPEN_WRITE(path.c_str(), "w");
  for (const ParticleTruth& p : particles)
    fprintf(file.get(), "%d\t%d\t%d\t%d\n", p.x - box / 2, p.y - box / 2, box, box);
  MRC_CLOSE_WRITTEN(file, path.c_str());
}

void write_star_file(const std::string& path, const std::vector<ParticleTruth>& particles) {
  static const char* const kLabels[] = {"_rlnCoordinateX", "_rlnCoordinateY", "_rlnDefocusU", "_rlnDefocusV",
                                        "_rlnDefocusAngle"};
  FilePtr file = MRC_OPEN_WRITE(path.c_str(), "w");
  star_write_labels(file.get(), kLabels, 5);
  for (const ParticleTruth& p : particles)
    fprintf(file.get(), "%12.6f %12.6f %12.6f %12.6f %12.6f\n", double(p.x), double(p.y), p.defU, p.defV, p.angle);
  MRC_CLOSE_WRITTEN(file, path.c_str());
}
