#include "output/mrc_write_device.h"

#include <vector>

#include "backend/memory.h"
#include "io/mrc_header.h"
#include "io/mrc_write.h"

int mrc_write_head_ddata(FILE* file, MRC_HEAD* head, const float* ddata) {
  const std::vector<float> data = host_copy_of(ddata, mrc_voxels(head));
  return mrc_write_head_data(file, head, data.data());
}

int mrcf_write_head_ddata(const char* path, MRC_HEAD* head, const float* ddata) {
  const std::vector<float> data = host_copy_of(ddata, mrc_voxels(head));
  return mrcf_write_head_data(path, head, data.data());
}

int mrcf_write_xyz_ddata(const char* path, const float* ddata, int nx, int ny, int nz) {
  MrcHeadPtr head = mrc_new_head();
  mrc_set_head_xyz_mode(head.get(), nx, ny, nz, MRC_MODE_FLOAT);
  return mrcf_write_head_ddata(path, head.get(), ddata);
}
