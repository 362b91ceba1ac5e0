#include "filter/filter_steps.h"

#include <cstddef>

#include "arrays/array_ops_2d.h"
#include "arrays/circular_mask.h"
#include "arrays/fourier_band.h"
#include "arrays/image_binning.h"
#include "arrays/local_background.h"

const char* filter_problem(const FilterOptions& o, int nx, int ny, float apix) {
  if (const char* problem = binning_problem(nx, ny, o.bin)) return problem;
  const int bx = nx / o.bin;
  const int by = ny / o.bin;
  if (const char* problem = circular_mask_problem(o.bg_radius, o.disk_edge)) return problem;
  if (const char* problem = circular_mask_problem(o.mask_radius, o.mask_edge)) return problem;
  if (!has_band_pass(o)) return nullptr;
  if (bx != by) return "Can not do band-pass on rectangle data. Must be square.";
  return band_pass_problem(band_of(o), o.mirror ? 2 * bx : bx, apix * o.bin);
}

namespace {

// The steps after binning, on one image in place.
int filter_binned_image(const FilterOptions& o, float* image, int nx, int ny, float apix) {
  if (o.bg_radius > 0.0f && hcuda_2d_bg_reduce_mpad_inplace(image, nx, ny, o.bg_radius, o.disk_edge) != 0) return -1;
  if (o.std_radius > 0.0f && hcuda_2d_local_sigma_softR_mpad(image, image, nx, ny, o.std_radius, o.disk_edge) != 0)
    return -1;
  if (has_band_pass(o)) {
    const BandPass band = band_of(o);
    const int filtered = o.mirror ? hcuda_2d_bandpass_mpad(image, image, nx, apix, band)
                                  : hcuda_2d_bandpass(image, image, nx, apix, band);
    if (filtered != 0) return -1;
    const float size = o.mirror ? 2.0f * nx : static_cast<float>(nx);
    hcuda_2d_divide_inplace(image, nx, ny, size * size);
  }
  if (o.mask_radius > 0.0f) {
    DeviceBuffer<float> mask(static_cast<size_t>(nx) * ny);
    hcuda_2d_generate_central_rmask(mask.get(), nx, ny, o.mask_radius, o.mask_edge);
    hcuda_x2d_multi_inplace(image, mask.get(), nx, ny);
  }
  return 0;
}

}  // namespace

int filter_images(const FilterOptions& o, const float* images, int nx, int ny, int nz, float apix,
                  std::vector<float>& result) {
  const int bx = nx / o.bin;
  const int by = ny / o.bin;
  const size_t in_plane = static_cast<size_t>(nx) * ny;
  const size_t out_plane = static_cast<size_t>(bx) * by;
  result.assign(out_plane * nz, 0.0f);
  DeviceBuffer<float> image(in_plane);
  DeviceBuffer<float> binned(out_plane);
  for (int z = 0; z < nz; ++z) {
    memcpy_H2D(image.get(), images + z * in_plane, in_plane * sizeof(float));
    hcuda_2ds_meanshrink(image.get(), binned.get(), nx, ny, 1, o.bin);
    if (filter_binned_image(o, binned.get(), bx, by, apix * o.bin) != 0) return -1;
    memcpy_D2H(result.data() + z * out_plane, binned.get(), out_plane * sizeof(float));
  }
  return 0;
}
