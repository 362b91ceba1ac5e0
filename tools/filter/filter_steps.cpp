#include "filter/filter_steps.h"

#include <cstddef>

#include "arrays/array_ops_2d.h"
#include "arrays/box_std.h"
#include "arrays/circular_mask.h"
#include "arrays/fourier_band.h"
#include "arrays/image_binning.h"
#include "arrays/image_scale.h"
#include "arrays/image_transform.h"
#include "arrays/local_background.h"

FilteredShape filtered_shape(const FilterOptions& o, int nx, int ny, float apix) {
  const int bx = nx / o.bin, by = ny / o.bin;
  const float binned_apix = apix * o.bin;
  if (!(o.scale > 0.0f)) return FilteredShape{bx, by, binned_apix};
  return FilteredShape{static_cast<int>(scaled_side(bx, o.scale)), static_cast<int>(scaled_side(by, o.scale)),
                       binned_apix / o.scale};
}

const char* filter_problem(const FilterOptions& o, int nx, int ny, float apix) {
  if (const char* problem = binning_problem(nx, ny, o.bin)) return problem;
  if (o.scale > 0.0f)
    if (const char* problem = scale_problem(nx / o.bin, ny / o.bin, o.scale)) return problem;
  if (o.motion)
    if (const char* problem = transform_problem(*o.motion, 0)) return problem;
  const FilteredShape shape = filtered_shape(o, nx, ny, apix);
  if (o.box_std > 0)
    if (const char* problem = box_window_problem(shape.nx, shape.ny, o.box_std, o.box_std)) return problem;
  if (const char* problem = circular_mask_problem(o.bg_radius, o.disk_edge)) return problem;
  if (const char* problem = circular_mask_problem(o.mask_radius, o.mask_edge)) return problem;
  if (!has_band_pass(o)) return nullptr;
  if (shape.nx != shape.ny) return "Can not do band-pass on rectangle data. Must be square.";
  return band_pass_problem(band_of(o), o.mirror ? 2 * shape.nx : shape.nx, shape.apix);
}

namespace {

// Replaces the nx x ny device image by what step(image, out) writes into a new image.
template <class Step>
void replace_image(float* image, int nx, int ny, Step step) {
  const size_t pixels = static_cast<size_t>(nx) * ny;
  DeviceBuffer<float> out(pixels);
  step(image, out.get());
  memcpy_D2D(image, out.get(), pixels * sizeof(float));
}

// The steps after binning and scaling, on one image in place.
int filter_resampled_image(const FilterOptions& o, float* image, int nx, int ny, float apix) {
  if (o.rotate != 0.0f)
    replace_image(image, nx, ny, [&](const float* in, float* out) { hcuda_2d_rotate(in, out, nx, ny, o.rotate); });
  if (o.motion)
    replace_image(image, nx, ny, [&](const float* in, float* out) {
      hcuda_2d_transform(in, out, nx, ny, (nx - 1) * 0.5f, (ny - 1) * 0.5f, *o.motion, 0);
    });
  if (o.bg_radius > 0.0f && hcuda_2d_bg_reduce_mpad_inplace(image, nx, ny, o.bg_radius, o.disk_edge) != 0) return -1;
  if (o.std_radius > 0.0f && hcuda_2d_local_sigma_softR_mpad(image, image, nx, ny, o.std_radius, o.disk_edge) != 0)
    return -1;
  if (o.box_std > 0)
    replace_image(image, nx, ny,
                  [&](const float* in, float* out) { hcuda_2d_std_by_box(in, out, nx, ny, o.box_std, o.box_std); });
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
  const FilteredShape shape = filtered_shape(o, nx, ny, apix);
  const bool scaled = o.scale > 0.0f;
  const size_t in_plane = static_cast<size_t>(nx) * ny;
  const size_t out_plane = static_cast<size_t>(shape.nx) * shape.ny;
  result.assign(out_plane * nz, 0.0f);
  DeviceBuffer<float> image(in_plane);
  DeviceBuffer<float> binned(static_cast<size_t>(bx) * by);
  DeviceBuffer<float> resampled(scaled ? out_plane : 0);
  float* filtered = scaled ? resampled.get() : binned.get();
  for (int z = 0; z < nz; ++z) {
    memcpy_H2D(image.get(), images + z * in_plane, in_plane * sizeof(float));
    hcuda_2ds_meanshrink(image.get(), binned.get(), nx, ny, 1, o.bin);
    if (scaled) hcuda_2d_scale(resampled.get(), binned.get(), bx, by, o.scale);
    if (filter_resampled_image(o, filtered, shape.nx, shape.ny, shape.apix) != 0) return -1;
    memcpy_D2H(result.data() + z * out_plane, filtered, out_plane * sizeof(float));
  }
  return 0;
}
