#include "ctf/refine_normalise.h"

#include <math.h>

#include "backend/launch.h"
#include "ctf/band_ctf.h"
#include "ctf/band_pixels.h"

void hcuda_2d_half_res_based_square(float* out, const float* in, float apix, int nh, int ny, RESO band) {
  launch_2d(nh, ny, [=] QUIB_HD(int x, int y) { cuda_2d_half_res_based_square(out, in, x, y, apix, nh, ny, band); });
}

float ctf_normalised_ccc(float ccc, const float* measured, int nh, int ny, const CtfSampling& sampling,
                         const CtfModel& model) {
  const std::shared_ptr<const BandPixels> band =
      band_pixels(sampling.optics.apix, nh, ny, sampling.band.low, sampling.band.high, sampling.bfactor);
  const float model_norm = sqrtf(hcuda_band_model_norm2(*band, ctf_trial(sampling.optics, model)));
  const float measured_norm = sqrtf(hcuda_band_measured_norm2(*band, measured));
  if (!(model_norm > 0.0f) || !(measured_norm > 0.0f)) return 0.0f;
  return ccc / model_norm / measured_norm;
}
