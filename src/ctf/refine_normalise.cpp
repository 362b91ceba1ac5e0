#include "ctf/refine_normalise.h"

#include <math.h>

#include "backend/launch.h"
#include "ctf/band_ctf.h"
#include "ctf/band_pixels.h"

void hcuda_2d_half_res_based_square(float* out, const float* in, float apix, int nh, int ny, float resL, float resH) {
  launch_2d(nh, ny,
            [=] QUIB_HD(int x, int y) { cuda_2d_half_res_based_square(out, in, x, y, apix, nh, ny, resL, resH); });
}

float ctf_normalised_ccc(float ccc, float* work, const float* measured, float apix, int nh, int ny, float P, float kV,
                         float Cs, float ac, float U, float V, float A, float B, float resL, float resH) {
  const std::shared_ptr<const BandPixels> band = band_pixels(apix, nh, ny, resL, resH, B);
  const float model_norm = sqrtf(hcuda_band_model_norm2(work, *band, ctf_trial(P, kV, Cs, ac, U, V, A)));
  const float measured_norm = sqrtf(hcuda_band_measured_norm2(work, *band, measured));
  if (!(model_norm > 0.0f) || !(measured_norm > 0.0f)) return 0.0f;
  return ccc / model_norm / measured_norm;
}
