#include "ctf/refine_score.h"

float ctf_ccc_sim_with_real_2d_half(float* work, const float* measured, float apix, int nh, int ny, float P, float kV,
                                    float Cs, float ac, float U, float V, float A, float B, float resL, float resH) {
  const std::shared_ptr<const BandPixels> band = band_pixels(apix, nh, ny, resL, resH, B);
  hcuda_band_weights(work, *band, measured);
  return hcuda_band_score(work, *band, work, ctf_trial(P, kV, Cs, ac, U, V, A));
}

RefineScorer refine_scorer(const float* measured, float apix, int nh, int ny, float kV, float Cs, float ac, float B,
                           float resL, float resH) {
  RefineScorer scorer{kV, Cs, ac, band_pixels(apix, nh, ny, resL, resH, B), DeviceBuffer<float>()};
  scorer.weights = DeviceBuffer<float>(scorer.band->count);
  hcuda_band_weights(scorer.weights.get(), *scorer.band, measured);
  return scorer;
}

float refine_score(float* work, const RefineScorer& scorer, float P, float U, float V, float A) {
  return hcuda_band_score(work, *scorer.band, scorer.weights.get(),
                          ctf_trial(P, scorer.kV, scorer.Cs, scorer.ac, U, V, A));
}
