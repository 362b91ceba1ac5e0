// The search and refine sequence on simulated micrographs: the gridded, background-subtracted
// spectrum of a 2048 x 2048 image of known CTF, fitted ab initio and by the phase-shift search.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/random_seed.h"
#include "ctf/search_refine.h"
#include "search_spectra.h"
#include "simulate/simulate.h"
#include "spectrum/spectrum_grid.h"
#include "test_util.h"

namespace {

constexpr int kSide = 2048, kBox = 512, kNh = kBox / 2 + 1;

CTF_INFO fit_simulated(const SimParams& sim, search_spectra::TestPara& t) {
  const SimResult micrograph = simulate_micrograph(sim);
  const DeviceBuffer<float> image = device_copy_of(micrograph.frames);
  DeviceBuffer<float> spectrum(kNh * kBox), log_spectrum(kNh * kBox), work(kNh * kBox);
  hcuda_2d_gridfft_r2c_amp_ave_log_subbg2(image.get(), spectrum.get(), log_spectrum.get(), kSide, kSide, kBox, kBox,
                                          kBox / 2, kBox / 12);
  std::vector<float> host(kNh * kBox);
  CTF_INFO ctf = ctf2d_default();
  quib_set_fixed_seed(1);
  captured_stdout([&] {
    quib_1D_search_2D_refine(ctf, search_refine_settings(t.para, 0), host.data(), spectrum.get(), work.get(), nullptr);
  });
  quib_clear_fixed_seed();
  return ctf;
}

SimParams simulated(float phase_shift) {
  SimParams sim;
  sim.nx = sim.ny = kSide;
  sim.apix = 1.0f;
  sim.defU = 20000.0f;
  sim.defV = 21000.0f;
  sim.angle = 30.0f;
  sim.phase_shift = phase_shift;
  return sim;
}

TEST(SearchRefineSimulated, AbInitioFindsTheMicrographsCtf) {
  search_spectra::TestPara t(kBox, 1.0f);
  const CTF_INFO ctf = fit_simulated(simulated(0.0f), t);
  EXPECT_NEAR(ctf.defocus_u, 20000, 40.0);
  EXPECT_NEAR(ctf.defocus_v, 21000, 40.0);
  EXPECT_NEAR(ctf.angle, 30, 1.5);
  EXPECT_EQ(ctf.phase_shift, 0.0f);
}

TEST(SearchRefineSimulated, PhaseSearchFindsThePhasePlatesShift) {
  search_spectra::TestPara t(kBox, 1.0f);
  QUIB_Para& p = t.para;
  p.do_phase_shift = 1;
  p.phase_shift_L = 0, p.phase_shift_H = 180, p.phase_shift_S = 10, p.phase_shift_T = 1;
  p.defL = 1000, p.defH = 70000, p.defS = 200, p.resL = 15;
  const CTF_INFO ctf = fit_simulated(simulated(60.0f), t);
  EXPECT_NEAR(ctf.phase_shift, 60, 3.0);
  EXPECT_NEAR(ctf.defocus_u, 20000, 40.0);
  EXPECT_NEAR(ctf.defocus_v, 21000, 40.0);
  EXPECT_NEAR(ctf.angle, 30, 1.5);
}

}  // namespace
