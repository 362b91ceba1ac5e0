#include "filter/filter_header.h"

float header_apix(const MRC_HEAD& head) {
  return head.mx > 0 && head.xlen > 0.0f ? head.xlen / static_cast<float>(head.mx) : 0.0f;
}

void set_output_head(MRC_HEAD& head, int nx, int ny, int nz, float apix) {
  mrc_set_head_xyz_mode(&head, nx, ny, nz, MRC_MODE_FLOAT);
  mrc_set_head_pixel_size(&head, apix);
}
