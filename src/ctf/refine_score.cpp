#include "ctf/refine_score.h"

namespace {

std::shared_ptr<const BandPixels> sampling_band(int nh, int ny, const CtfSampling& s) {
  return band_pixels(s.optics.apix, nh, ny, s.band.low, s.band.high, s.bfactor);
}

}  // namespace

float ctf_ccc_sim_with_real_2d_half(float* work, const float* measured, int nh, int ny, const CtfSampling& sampling,
                                    const CtfModel& model) {
  const std::shared_ptr<const BandPixels> band = sampling_band(nh, ny, sampling);
  hcuda_band_weights(work, *band, measured);
  return hcuda_band_score(*band, work, ctf_trial(sampling.optics, model));
}

RefineScorer refine_scorer(const float* measured, int nh, int ny, const CtfSampling& sampling) {
  RefineScorer scorer{sampling.optics, sampling_band(nh, ny, sampling), DeviceBuffer<float>()};
  scorer.weights = DeviceBuffer<float>(scorer.band->count);
  hcuda_band_weights(scorer.weights.get(), *scorer.band, measured);
  return scorer;
}

float refine_score(const RefineScorer& scorer, const CtfModel& model) {
  return hcuda_band_score(*scorer.band, scorer.weights.get(), ctf_trial(scorer.optics, model));
}
