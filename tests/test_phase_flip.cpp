// Phase flipping: the flip on images of any shape against known answers, and whole-program runs
// whose flipped micrographs are compared with the simulated specimen.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "arrays/fft_wrappers.h"
#include "backend/memory.h"
#include "core/ctf_formula.h"
#include "core/ctf_model.h"
#include "ctf/phase_flip.h"
#include "io/mrc_read.h"
#include "quib_runs.h"
#include "simulate/illumination.h"
#include "simulate/image_formation.h"
#include "simulate/phase_object.h"
#include "simulate/transfer.h"

using namespace quib_runs;

namespace {

const Optics kOptics = make_optics(300.0f, 2.7f, 0.1f, 1.0f);

std::vector<float> flipped(const std::vector<float>& image, int nx, int ny, const CtfModel& m) {
  DeviceBuffer<float> d = device_copy_of(image);
  EXPECT_EQ(phase_flip_image(d.get(), nx, ny, kOptics, m), 0);
  return host_copy_of(d);
}

// cos(2 pi k y / ny): a wave along the rows, of frequency k / (ny apix).
std::vector<float> row_wave(int nx, int ny, int k) {
  std::vector<float> image(static_cast<size_t>(nx) * ny);
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nx; ++x) image[static_cast<size_t>(y) * nx + x] = std::cos(2.0 * kPi * k * y / ny);
  return image;
}

float ctf_at_frequency(float s, float defocus) {
  return ctf_value(ctf_chi(kOptics.lambda, defocus, kOptics.Cs, 0.0f, s), kOptics.ac);
}

}  // namespace

TEST(PhaseFlip, FlippingTwiceRestoresAnyShapeAndWavesAlongRowsUseTheRowFrequency) {
  std::mt19937 rng(7);
  std::normal_distribution<float> noise;
  const CtfModel astigmatic{15000.0f, 12000.0f, 33.0f, 20.0f};
  for (const auto& size : {std::pair<int, int>{64, 64}, {63, 47}, {96, 50}}) {
    const int nx = size.first, ny = size.second;
    SCOPED_TRACE(std::to_string(nx) + " x " + std::to_string(ny));
    std::vector<float> image(static_cast<size_t>(nx) * ny);
    for (float& v : image) v = noise(rng);
    const std::vector<float> once = flipped(image, nx, ny, astigmatic);
    const std::vector<float> twice = flipped(once, nx, ny, astigmatic);
    double changed = 0.0, restored = 0.0;
    for (size_t i = 0; i < image.size(); ++i) {
      changed = std::max(changed, std::fabs(double(once[i]) - image[i]));
      restored = std::max(restored, std::fabs(double(twice[i]) - image[i]));
    }
    EXPECT_GT(changed, 0.5);
    EXPECT_LT(restored, 1e-4);
  }

  // A wave along the rows of a 96 x 50 image, at a row frequency where the CTF (U = V, no angle)
  // is clearly negative while at the same index scaled by nx it is clearly positive: it must be
  // negated whole.
  const int nx = 96, ny = 50;
  const float defocus = 20000.0f;
  int k = 1;
  while (k < ny / 2 &&
         !(ctf_at_frequency(k / float(ny), defocus) < -0.5f && ctf_at_frequency(k / float(nx), defocus) > 0.5f))
    ++k;
  ASSERT_LT(k, ny / 2);
  const std::vector<float> wave = row_wave(nx, ny, k);
  const std::vector<float> out = flipped(wave, nx, ny, CtfModel{defocus, defocus, 0.0f, 0.0f});
  for (size_t i = 0; i < wave.size(); ++i) ASSERT_NEAR(out[i], -wave[i], 1e-4) << "pixel " << i;
}

namespace {

// The noiseless image of the simulation and its specimen.
struct NoiselessMicrograph {
  std::vector<float> image;
  std::vector<float> phase;
};

NoiselessMicrograph simulate_noiseless(const SimParams& p) {
  const Specimen specimen = make_specimen(p);
  const ImagingSetup setup = make_imaging_setup(p);
  const double electrons_per_pixel = double(p.dose) * p.apix * p.apix;
  return {expected_counts(setup, specimen.phase, make_illumination(p), 0.0f, electrons_per_pixel), specimen.phase};
}

// How the image's spectrum follows the specimen's over the CTF band (1/30 to 1/5 per Angstrom,
// where the true |CTF| > 0.3): the correlation of the two spectra, and the fraction of elements
// whose cross term Re(I conj(P)) is negative (the image is dark where the specimen's phase is
// high, so without CTF sign changes every term would be negative).
struct BandAgreement {
  double correlation;
  double negative_fraction;
};

BandAgreement band_agreement(const std::vector<float>& image, const std::vector<float>& phase, const SimParams& p) {
  const int nh = p.nx / 2 + 1;
  std::vector<float2> I(static_cast<size_t>(nh) * p.ny), P(I.size());
  EXPECT_EQ(gpu_2d_fft_r2c(image.data(), I.data(), p.nx, p.ny), 0);
  EXPECT_EQ(gpu_2d_fft_r2c(phase.data(), P.data(), p.nx, p.ny), 0);
  const TransferTable t = make_transfer_table(p);
  double cross = 0.0, ii = 0.0, pp = 0.0;
  size_t negative = 0, count = 0;
  for (size_t i = 0; i < I.size(); ++i) {
    const float ctf = ctf_value(ctf_chi(t.lambda, t.defocus[i], t.Cs, t.phase_shift, t.s[i]), t.ac);
    if (t.s[i] < 1.0f / 30.0f || t.s[i] > 1.0f / 5.0f || std::fabs(ctf) < 0.3f) continue;
    const double c = double(I[i].x) * P[i].x + double(I[i].y) * P[i].y;
    cross += c;
    ii += double(I[i].x) * I[i].x + double(I[i].y) * I[i].y;
    pp += double(P[i].x) * P[i].x + double(P[i].y) * P[i].y;
    negative += c < 0.0;
    ++count;
  }
  return {cross / std::sqrt(ii * pp), double(negative) / count};
}

SimParams noiseless_params(int nx, int ny) {
  SimParams p = micrograph_params(nx, 1.0f, 18000.0f, 16000.0f, 30.0f, 5);
  p.ny = ny;
  p.box = 128;
  return p;
}

}  // namespace

TEST(PhaseFlipRuns, FlippedMicrographsFollowTheSpecimenOnSquareAndNonSquareImages) {
  for (const auto& size : {std::pair<int, int>{768, 768}, {1024, 640}}) {
    const SimParams p = noiseless_params(size.first, size.second);
    SCOPED_TRACE(std::to_string(p.nx) + " x " + std::to_string(p.ny));
    const NoiselessMicrograph sim = simulate_noiseless(p);
    TempDir dir;
    write_mrc_frames(dir.file("m.mrc"), sim.image, p.nx, p.ny, 1, 2, p.apix);
    const CommandResult r = run_quib(dir, "--apix 1.0 --do_phase_flip m.mrc");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("m.mrc flipping phase ...\n"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("not available"), std::string::npos) << r.output;

    const MrcHeadPtr head = get_mrcf_head(dir.file("m_pf.mrc").c_str());
    ASSERT_TRUE(head);
    EXPECT_EQ(head->nx, p.nx);
    EXPECT_EQ(head->ny, p.ny);
    EXPECT_EQ(head->nz, 1);
    EXPECT_EQ(head->mode, MRC_MODE_FLOAT);
    // The pixel size travels with the image: sampling nx x ny over a cell of nx x ny pixels.
    EXPECT_EQ(head->mx, p.nx);
    EXPECT_EQ(head->my, p.ny);
    EXPECT_FLOAT_EQ(head->xlen, p.nx * 1.0f);
    EXPECT_FLOAT_EQ(head->ylen, p.ny * 1.0f);
    const HostBuffer<float> data = get_mrcf_data_all(dir.file("m_pf.mrc").c_str());
    const std::vector<float> pf(data.get(), data.get() + sim.image.size());
    float lowest = pf[0], highest = pf[0];
    for (float v : pf) lowest = std::min(lowest, v), highest = std::max(highest, v);
    EXPECT_EQ(head->dmin, lowest);
    EXPECT_EQ(head->dmax, highest);

    const BandAgreement raw = band_agreement(sim.image, sim.phase, p);
    const BandAgreement flip = band_agreement(pf, sim.phase, p);
    EXPECT_LT(raw.negative_fraction, 0.7);
    EXPECT_GT(flip.negative_fraction, 0.97);
    EXPECT_LT(flip.correlation, -0.5);
    EXPECT_GT(std::fabs(flip.correlation), 3.0 * std::fabs(raw.correlation));
  }
}

TEST(PhaseFlipRuns, AMovieGivesItsFlippedAverageAndNoOutputMayReplaceAnInput) {
  SimParams p = micrograph_params(512, 1.0f, 15000.0f, 15000.0f, 0.0f, 3);
  p.nz = 3;
  const SimResult sim = simulate_micrograph(p);
  TempDir dir;
  write_mrc_frames(dir.file("movie.mrcs"), sim.frames, p.nx, p.ny, p.nz, 2, p.apix);
  const CommandResult r = run_quib(dir, "--apix 1.0 --do_phase_flip movie.mrcs");
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string said =
      "Only support movie CTF determination, not correction. Will output phase-flipped average.\nmovie.mrcs flipping "
      "phase ...\n";
  EXPECT_NE(r.output.find(said), std::string::npos) << r.output;
  EXPECT_NE(read_text_file(dir.file("movie_quib.log")).find(said), std::string::npos);
  // The zero frequency keeps its sign (CTF = ac there), so the flipped image keeps the mean of
  // the frames' average, not that of their sum.
  double frame_mean = 0.0;
  for (float v : sim.frames) frame_mean += v;
  frame_mean /= sim.frames.size();
  const MrcHeadPtr head = get_mrcf_head(dir.file("movie_pf.mrc").c_str());
  ASSERT_TRUE(head);
  EXPECT_EQ(head->nz, 1);
  EXPECT_NEAR(head->dmean, frame_mean, 1e-4 * frame_mean);

  const std::vector<float> first(sim.frames.begin(), sim.frames.begin() + sim.frames.size() / p.nz);
  write_mrc_frames(dir.file("movie_pf.mrc"), first, p.nx, p.ny, 1, 2, p.apix);
  const std::string input = read_text_file(dir.file("movie_pf.mrc"));
  const CommandResult refused = run_quib(dir, "--apix 1.0 --do_phase_flip movie.mrcs movie_pf.mrc");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("The phase-flipped micrograph movie_pf.mrc would overwrite the input file "
                                "movie_pf.mrc. Rename the input file."),
            std::string::npos)
      << refused.output;
  EXPECT_EQ(read_text_file(dir.file("movie_pf.mrc")), input);
}
