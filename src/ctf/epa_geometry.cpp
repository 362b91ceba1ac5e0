#include "ctf/epa_geometry.h"

#include "backend/launch.h"

void hcuda_2d_half_pack_pairs(uint64_t* out, const float* in, int nh, int ny) {
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) {
    const size_t i = static_cast<size_t>(y) * nh + x;
    out[i] = pack_pair(in[i], in[x < nh - 1 ? i + 1 : i]);
  });
}
