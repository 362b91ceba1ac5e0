#include "ctf/ctf_validation.h"

#include <cmath>
#include <utility>

#include "core/ctf_model.h"
#include "ctf/band_ctf.h"
#include "ctf/band_pixels.h"
#include "ctf/refine_fixed_phase.h"
#include "ctf/refine_normalise.h"
#include "ctf/refine_score.h"

namespace {

// A resolution band (Angstrom); its start is pushed by 25 * high^2.
struct ValidationBand {
  int low;
  int high;
};

constexpr ValidationBand kBands[] = {{20, 8}, {15, 6}, {12, 5}, {10, 4}, {8, 3}};
constexpr int kBandCount = sizeof kBands / sizeof kBands[0];
constexpr float kAngleStep = 3.0f;
// The significance (in standard deviations of white noise) the fitted rings must reach in a band
// for its search to mean anything. Bands without signal reach 1-4 on simulated micrographs (the fit
// was chosen to match the spectrum, which lifts them above 0); bands with visible rings reach 7-45.
constexpr double kMinRingSignificance = 5.0;

const char* const kGradeWords[] = {"WRONG     ", "BAD            ", "USABLE         ", "GOOD           ",
                                   "PERFECT        "};
const char* const kScoreLines[] = {"VALIDATION_SCORE: 1     \n", "VALIDATION_SCORE: 2            \n",
                                   "VALIDATION_SCORE: 3         \n", "VALIDATION_SCORE: 4           \n",
                                   "VALIDATION_SCORE: 5        \n"};

void log_and_print(FILE* log, const char* text) {
  fputs(text, log);
  fputs(text, stdout);
}

// U pushed by the offset away from V, V by half of it the other way.
CtfModel pushed_start(const CtfModel& fitted, float offset) {
  const double s = fitted.defocus_u > fitted.defocus_v ? 1.0 : -1.0;
  CtfModel start = fitted;
  start.defocus_u = static_cast<float>(fitted.defocus_u + s * offset);
  start.defocus_v = static_cast<float>(fitted.defocus_v - 0.5 * s * offset);
  return start;
}

// The refined model in the orientation of the start: the angle in [0, 90) and, when the exchanged
// pair lies nearer the start's U and V, U and V exchanged with the angle turned by 90 degrees.
CtfModel oriented_like(CtfModel m, const CtfModel& start) {
  quib_format_UVA(m.defocus_u, m.defocus_v, m.angle);
  const float U = m.defocus_u, V = m.defocus_v, U0 = start.defocus_u, V0 = start.defocus_v;
  if ((U - U0) * (U - U0) + (V - V0) * (V - V0) > (U - V0) * (U - V0) + (V - U0) * (V - U0)) {
    std::swap(m.defocus_u, m.defocus_v);
    m.angle = m.angle > std::fabs(m.angle - 90.0f) ? m.angle - 90.0f : m.angle + 90.0f;
  }
  return m;
}

// The bands above Nyquist (2 apix): the walk stops at the first band that is not.
int validation_band_count(float apix) {
  int count = 0;
  while (count < kBandCount && kBands[count].high > 2.0f * apix) ++count;
  return count;
}

float validation_offset(const ValidationBand& band) {
  return static_cast<float>(25.0 * static_cast<double>(band.high) * band.high);
}

// The larger of the greater defocus difference and the astigmatism displaced by the angle difference.
float validation_distance(const CtfModel& fitted, const CtfModel& refined) {
  const float a =
      std::fmax(std::fabs(refined.defocus_u - fitted.defocus_u), std::fabs(refined.defocus_v - fitted.defocus_v));
  const double turn = std::fabs(refined.angle - fitted.angle) * M_PI / 180.0;
  const float b = static_cast<float>(std::fabs(refined.defocus_u - refined.defocus_v) * std::sin(turn));
  return b < a ? a : b;
}

// 5 (PERFECT) to 1 (WRONG): the distance against the offset the start was pushed by.
int validation_grade(float distance, float offset) {
  if (distance < offset * 0.38268343f) return 5;  // sin 22.5 degrees
  if (distance < offset * 0.70710678f) return 4;  // sin 45 degrees
  if (distance < offset) return 3;
  if (distance < 2.0f * offset) return 2;
  return 1;
}

// How many standard deviations of white noise the spectrum's correlation with the fitted rings in
// the band lies above zero.
double ring_significance(const ValidationInput& input, const CtfSampling& sampling, const CtfModel& fitted) {
  const auto band = band_pixels(input.optics.apix, input.box / 2 + 1, input.box, sampling.band.low, sampling.band.high,
                                sampling.bfactor);
  const float r = hcuda_band_ring_correlation(*band, input.spectrum, ctf_trial(input.optics, fitted));
  return r * std::sqrt(static_cast<double>(band->count));
}

// The band's search and its grade. Where the spectrum holds no rings of the fit above the noise,
// nothing can pull the search back: it is not run, the band reports its start and grades BAD, the
// grade of a search that stays where it was pushed to.
struct BandResult {
  CtfModel model;
  float ccc;
  int grade;
  bool converged;
  bool has_rings;
};

BandResult validate_band(const ValidationInput& input, const ValidationBand& band, const CtfModel& fitted) {
  const float offset = validation_offset(band);
  const CtfModel start = pushed_start(fitted, offset);
  const RefineTarget target{input.spectrum, input.work, input.box, input.box,
                            CtfSampling{input.optics, input.bfactor, RESO{float(band.low), float(band.high)}}};
  const int nh = input.box / 2 + 1;
  if (ring_significance(input, target.fit, fitted) < kMinRingSignificance) {
    const float score = ctf_ccc_sim_with_real_2d_half(input.work, input.spectrum, nh, input.box, target.fit, start);
    const float ccc = ctf_normalised_ccc(score, input.spectrum, nh, input.box, target.fit, start);
    return {start, ccc, 2, true, false};
  }
  const FixedPhaseFit result = refine_defocus_astigmatism_angle(target, start, offset / 4.0f, kAngleStep);
  const CtfModel refined = oriented_like(result.fit.model, start);
  const int grade = validation_grade(validation_distance(fitted, refined), offset);
  return {refined, result.fit.ccc, grade, result.converged, true};
}

}  // namespace

std::vector<int> ctf_validation(const ValidationInput& input, const CtfModel& fitted, FILE* log) {
  log_and_print(log, "\n......................................  VALIDATION  ......................................\n");
  log_and_print(log,
                "Differences from Original Values:\n  RESOLUTION   Defocus_U   Defocus_V     Angle       CCC      "
                "CONVERGENCE  \n");
  std::vector<int> grades;
  for (int k = 0; k < validation_band_count(input.optics.apix); ++k) {
    const ValidationBand band = kBands[k];
    const BandResult result = validate_band(input, band, fitted);
    char line[128];
    snprintf(line, sizeof line, "  %02d-%02dA %12.2f%12.2f%12.2f%12.2f     ", band.low, band.high,
             result.model.defocus_u - fitted.defocus_u, result.model.defocus_v - fitted.defocus_v,
             result.model.angle - fitted.angle, result.ccc);
    log_and_print(log, line);
    printf("%s\n", kGradeWords[result.grade - 1]);
    fputs(kScoreLines[result.grade - 1], log);
    if (!result.has_rings) fputs("NOTE: no Thon rings of the fit above the noise in this band; not searched.\n", log);
    if (!result.converged)
      fputs("WARNING: Too many refinement cycles, Quib might have failed on this micrograph!\n", log);
    grades.push_back(result.grade);
  }
  return grades;
}
