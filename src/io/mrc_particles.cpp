#include "io/mrc_particles.h"

#include <vector>

#include "arrays/particle_extract.h"
#include "core/report.h"
#include "io/mrc_read.h"
#include "io/mrc_write.h"
#include "io/ptcl_box_reader.h"

int mrcf_2d_read_ptcls_to_data_from_boxf(ParticleStack& out, const char* mrc_path, const char* box_path) {
  std::vector<PTCL_BOX> boxes(PTCL_BOX_CAPACITY);
  const int nboxes = read_all_ptcl_boxes(boxes.data(), PTCL_BOX_CAPACITY, box_path);
  const HostBuffer<float> image = get_mrcf_data_sliceN(mrc_path, 0);
  MRC_HEAD head;
  mrcf_read_head(mrc_path, &head);
  out = ParticleStack();
  const int inside = count_ptcl_boxes_inside_image(boxes.data(), nboxes, head.nx, head.ny);
  if (inside > 0) {
    out.width = boxes[0].width;
    out.height = boxes[0].height;
    out.data = HostBuffer<float>(static_cast<size_t>(out.width) * out.height * inside);
  }
  out.count = host_2d_read_ptcls_to_2ds_from_boxes(out.data.get(), boxes.data(), nboxes, image.get(), head.nx, head.ny);
  return out.count;
}

int mrcf_2d_read_ptcls_to_mrcf_from_boxf(const char* out_path, const char* mrc_path, const char* box_path) {
  ParticleStack particles;
  if (mrcf_2d_read_ptcls_to_data_from_boxf(particles, mrc_path, box_path) == 0) {
    QUIB_WARNING("mrc", "No particle box lies inside the micrograph; no particle stack written");
    return 0;
  }
  mrcf_write_xyz_data(out_path, particles.data.get(), particles.width, particles.height, particles.count);
  return particles.count;
}
