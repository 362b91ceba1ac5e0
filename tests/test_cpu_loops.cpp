// The two builds of the CPU backend's loops, for any x86-64 processor and with AVX2 and FMA: the
// stages of a micrograph give the same bits in both, so a result does not depend on the machine.
#include <gtest/gtest.h>

#include <vector>

#include "arrays/array_reduce.h"
#include "backend/memory.h"
#include "core/ctf_model.h"
#include "ctf/display_images.h"
#include "ctf/epa_profile.h"
#include "ctf/random_seed.h"
#include "ctf/refine_2d.h"
#include "search_spectra.h"
#include "spectrum/spectrum_grid.h"
#include "spectrum_reference.h"

#if !QUIB_CUDA
#include "backend/cpu_loops.h"

namespace {

// Everything a micrograph's stages compute from one image, on the host.
struct StageResults {
  std::vector<float> spectrum, log_amplitude, epa, epa_plain, epa_image, fitted;
  CtfFit fit;
  float sum;

  bool operator==(const StageResults& o) const {
    return spectrum == o.spectrum && log_amplitude == o.log_amplitude && epa == o.epa && epa_plain == o.epa_plain &&
           epa_image == o.epa_image && fitted == o.fitted && fit.model.defocus_u == o.fit.model.defocus_u &&
           fit.model.defocus_v == o.fit.model.defocus_v && fit.model.angle == o.fit.model.angle &&
           fit.model.phase_shift == o.fit.model.phase_shift && fit.ccc == o.fit.ccc && sum == o.sum;
  }
};

StageResults run_stages() {
  constexpr int kSide = 1024, kBox = 256, kNh = kBox / 2 + 1;
  const Optics optics = make_optics(300.0f, 2.7f, 0.1f, 1.0f);
  const std::vector<float> host_image = spectrum_reference::random_values(size_t(kSide) * kSide, 3);
  const DeviceBuffer<float> image = device_copy_of(host_image);
  DeviceBuffer<float> spectrum(size_t(kNh) * kBox), log_amplitude(spectrum.size());
  hcuda_2d_gridfft_r2c_amp_ave_log_subbg2(image.get(), spectrum.get(), log_amplitude.get(), kSide, kSide, kBox, kBox,
                                          kBox / 2, kBox / 12);

  // The fits read a spectrum with rings, so that the refinement and the EPA have work to do.
  const DeviceBuffer<float> rings =
      device_copy_of(search_spectra::half_spectrum(kBox, 1.0, {15000, 15800, 30}, 0.3, 7));
  const CtfModel model{15000, 15800, 30, 0};
  StageResults r;
  const int M = epa_profile_length(kNh, 4);
  DeviceBuffer<float> epa(M), epa_plain(M), epa_image(spectrum.size()), work(spectrum.size());
  const float* in[2] = {rings.get(), log_amplitude.get()};
  float* const out[2] = {epa.get(), epa_plain.get()};
  hcuda_2d_half_EPA_X_res_pair(in, out, 4, kNh, kBox, optics, model, RESO{50.0f, 2.1f});
  hcuda_2d_half_EPA(rings.get(), epa_image.get(), kNh, kBox, optics, model, RESO{100.0f, 2.1f});

  CTF_REF_CONTROL control;
  ctf_ref_control_init(control);
  control.set_PHSL(0, 0, 0, 0);
  quib_set_fixed_seed(4);
  const RefineTarget target{rings.get(), work.get(), kBox, kBox, CtfSampling{optics, 150.0f, RESO{50.0f, 4.0f}}};
  r.fit = hcuda_ctfrefine_half2d(target, CtfModel{14800, 16000, 20, 0}, RefineSteps{500, 30, 0}, control, nullptr);
  quib_clear_fixed_seed();

  r.spectrum = host_copy_of(spectrum);
  r.log_amplitude = host_copy_of(log_amplitude);
  r.epa = host_copy_of(epa);
  r.epa_plain = host_copy_of(epa_plain);
  r.epa_image = host_copy_of(epa_image);
  r.fitted = host_copy_of(work);
  r.sum = hcuda_fast_sum(image.get(), image.size());
  return r;
}

TEST(CpuLoops, WideAndPlainLoopsGiveTheSameBits) {
  if (!cpu_wide_loops()) GTEST_SKIP() << "this build or processor has one build of the loops only";
  const StageResults wide = run_stages();
  set_cpu_plain_loops(true);
  EXPECT_FALSE(cpu_wide_loops());
  const StageResults plain = run_stages();
  set_cpu_plain_loops(false);
  EXPECT_TRUE(wide == plain);
  EXPECT_NEAR(wide.fit.model.defocus_u, 15000, 30) << "the refinement did its work";
}

}  // namespace

#endif
