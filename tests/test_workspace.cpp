// The run workspace: plans and scratch made once and reused, attachments private to a workspace,
// everything released with its scope, nested scopes kept apart, and no workspace no library.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "arrays/array_reduce.h"
#include "arrays/fft_wrappers.h"
#include "backend/memory.h"
#include "backend/workspace.h"
#include "ctf/band_pixels.h"
#include "spectrum/spectrum_background.h"
#include "test_util.h"

namespace {

int live_probes = 0;

// An attachment that counts its living copies.
struct Probe {
  Probe() { ++live_probes; }
  ~Probe() { --live_probes; }
  int value = 0;
};

TEST(Workspace, RepeatedTransformsAndSumsMakeOnePlanAndReuseTheScratch) {
  WorkspaceScope scope;
  const Workspace& w = workspace();
  EXPECT_EQ(w.plan_count(), 0u);
  EXPECT_EQ(w.scratch_growths(), 0u);
  // A stack of three 9 x 5 images of 2s: every other image is misaligned, so the batch is staged.
  const int nx = 9, ny = 5, nz = 3, nh = nx / 2 + 1;
  const DeviceBuffer<float> stack = device_copy_of(std::vector<float>(nx * ny * nz, 2.0f));
  DeviceBuffer<float2> spectra(static_cast<size_t>(nh) * ny * nz);
  const DeviceBuffer<float> ones = device_copy_of(std::vector<float>(5000, 1.0f));
  // A constant spectrum equals its background everywhere.
  const int bx = 16, by = 12;
  const DeviceBuffer<float> flat = device_copy_of(std::vector<float>((bx / 2 + 1) * by, 3.0f));
  DeviceBuffer<float> flattened(flat.size());
  size_t growths_after_first_round = 0;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(hcuda_fast_sum(ones.get(), ones.size()), 5000.0f);
    ASSERT_EQ(hcuda_2ds_fft_r2c(stack.get(), spectra.get(), nx, ny, nz), 0);
    const std::vector<float2> got = host_copy_of(spectra);
    for (int k = 0; k < nz; ++k) EXPECT_EQ(got[static_cast<size_t>(k) * nh * ny].x, 2.0f * nx * ny);
    hcuda_2d_fft_amp_subbg(flattened.get(), flat.get(), bx, by, 5);
    for (float v : host_copy_of(flattened)) EXPECT_EQ(v, 0.0f);
    if (round == 0) growths_after_first_round = w.scratch_growths();
  }
  EXPECT_EQ(w.plan_count(), 1u);
  EXPECT_EQ(growths_after_first_round, 4u) << "pass totals, FFT staging, background and summed-area table";
  EXPECT_EQ(w.scratch_growths(), growths_after_first_round);
}

TEST(Workspace, NestedScopesAreSeparateAndEachReleasesItsResources) {
  {
    WorkspaceScope outer_scope;
    Workspace& outer = workspace();
    outer.attachment<Probe>().value = 1;
    const FftPlan2d& outer_plan = fft_plan_2d(8, 8);
    const auto outer_band = band_pixels(1.0f, 17, 32, 30.0f, 5.0f, 0.0f);
    {
      WorkspaceScope inner_scope;
      Workspace& inner = workspace();
      EXPECT_NE(&inner, &outer);
      EXPECT_EQ(inner.attachment<Probe>().value, 0) << "a fresh attachment, not the outer one";
      EXPECT_EQ(live_probes, 2);
      EXPECT_EQ(inner.plan_count(), 0u);
      EXPECT_NE(&fft_plan_2d(8, 8), &outer_plan);
      EXPECT_NE(band_pixels(1.0f, 17, 32, 30.0f, 5.0f, 0.0f), outer_band);
    }
    EXPECT_EQ(live_probes, 1) << "the inner workspace's attachment went with its scope";
    EXPECT_EQ(&workspace(), &outer);
    EXPECT_EQ(outer.attachment<Probe>().value, 1);
    EXPECT_EQ(&fft_plan_2d(8, 8), &outer_plan);
    EXPECT_EQ(band_pixels(1.0f, 17, 32, 30.0f, 5.0f, 0.0f), outer_band) << "the outer band tables are kept";
    EXPECT_EQ(outer.plan_count(), 1u);
  }
  EXPECT_EQ(live_probes, 0);
}

TEST(WorkspaceDeathTest, LibraryCodeOnAThreadWithoutAWorkspaceEndsWithAFatalLine) {
  const DeviceBuffer<float> ones = device_copy_of(std::vector<float>(10, 1.0f));
  EXPECT_EXIT_STDOUT(std::thread([&] { hcuda_fast_sum(ones.get(), ones.size()); }).join(), 1,
                     "^Error in function workspace\\(\\), file workspace on line [0-9]+: No workspace is open on this "
                     "thread! Exit now!\n$");
}

}  // namespace
