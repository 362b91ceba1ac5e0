// The fixed-phase refinements on synthetic spectra of known CTF: the mean defocus alone keeps the
// start's astigmatism and angle; the full form recovers astigmatism and angle in either start
// orientation; both leave |CTF| E of their result in the work array and stay silent.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/ctf_simulate.h"
#include "ctf/random_seed.h"
#include "ctf/refine_fixed_phase.h"
#include "search_spectra.h"
#include "test_util.h"

namespace {

using search_spectra::TrueCtf;

constexpr float kApix = 1.0f;
constexpr int kBox = 512;

const CtfSampling kFit{make_optics(300.0f, 2.7f, 0.1f, kApix), 100.0f, RESO{50.0f, 4.0f}};

struct Spectrum {
  DeviceBuffer<float> measured;
  DeviceBuffer<float> work;
  explicit Spectrum(const TrueCtf& t, int N = kBox)
      : measured(device_copy_of(search_spectra::half_spectrum(N, kApix, t, 0.3, 7))), work(measured.size()) {}
  RefineTarget target(int N = kBox) { return RefineTarget{measured.get(), work.get(), N, N, kFit}; }
};

class FixedPhaseRefine : public testing::Test {
 protected:
  void SetUp() override { quib_set_fixed_seed(5); }
  void TearDown() override { quib_clear_fixed_seed(); }
};

TEST_F(FixedPhaseRefine, MeanDefocusFollowsTheSpectrumAndKeepsAstigmatismAndAngle) {
  // The truth lies on either side of the start, closer and further than one step.
  for (const float shift : {-240.0f, -60.0f, 90.0f, 300.0f}) {
    const TrueCtf truth{20000.0 + shift, 21000.0 + shift, 35.0};
    Spectrum s(truth);
    CtfFit fit{};
    const std::string screen = captured_stdout([&] {
      fit = hcuda_ctfrefine_half2d_only_defave(s.target(), CtfModel{20000, 21000, 35, 0}, 100.0f, nullptr);
    });
    EXPECT_EQ(screen, "");
    EXPECT_NEAR((fit.model.defocus_u + fit.model.defocus_v) / 2, 20500 + shift, 3.0) << shift;
    EXPECT_NEAR(fit.model.defocus_v - fit.model.defocus_u, 1000.0f, 0.01f) << shift;
    EXPECT_EQ(fit.model.angle, 35.0f);
    EXPECT_EQ(fit.model.phase_shift, 0.0f);
    EXPECT_GT(fit.ccc, 0.2f);
    EXPECT_LE(fit.ccc, 1.0f);
  }
}

TEST_F(FixedPhaseRefine, FullFormRecoversAstigmatismAndAngleFromEitherOrientation) {
  struct Case {
    TrueCtf truth;
    CtfModel start;
  };
  const Case cases[] = {
      {{20000, 21000, 35}, {19900, 21150, 33, 0}},
      // U and V given exchanged: the exchanged pair, tried first, is the truth.
      {{20000, 21000, 35}, {21000, 20000, 35, 0}},
      // An angle next to the end of [-90, 90) comes back inside it.
      {{15000, 15600, 89.8, 20}, {15050, 15600, 89.0, 20}},
  };
  for (const Case& c : cases) {
    Spectrum s(c.truth);
    const CtfFit fit = hcuda_ctfrefine_half2d_local(s.target(), c.start, 100.0f, 1.0f, nullptr);
    EXPECT_NEAR(fit.model.defocus_u, c.truth.U, 8.0) << c.truth.U;
    EXPECT_NEAR(fit.model.defocus_v, c.truth.V, 8.0) << c.truth.U;
    EXPECT_GE(fit.model.angle, -90.0f);
    EXPECT_LT(fit.model.angle, 90.0f);
    EXPECT_NEAR(std::remainder(fit.model.angle - c.truth.A, 180.0), 0.0, 1.0) << fit.model.angle;
    EXPECT_EQ(fit.model.phase_shift, c.start.phase_shift);
  }
}

TEST_F(FixedPhaseRefine, WorkArrayEndsWithTheModelAmplitudeAndRunsRepeat) {
  const int N = 128, nh = N / 2 + 1;
  Spectrum s({18000, 18900, 50}, N);
  const CtfModel start{18100, 18800, 45, 0};
  const CtfFit first = hcuda_ctfrefine_half2d_local(s.target(N), start, 200.0f, 1.0f, nullptr);
  DeviceBuffer<float> expected(s.work.size());
  hcuda_ctf_mod_simulate_2d_half(expected.get(), nh, N, kFit, first.model);
  const std::vector<float> got = host_copy_of(s.work), want = host_copy_of(expected);
  for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << i;

  const CtfFit second = hcuda_ctfrefine_half2d_local(s.target(N), start, 200.0f, 1.0f, nullptr);
  EXPECT_EQ(first.model.defocus_u, second.model.defocus_u);
  EXPECT_EQ(first.model.defocus_v, second.model.defocus_v);
  EXPECT_EQ(first.model.angle, second.model.angle);
  EXPECT_EQ(first.ccc, second.ccc);
}

}  // namespace
