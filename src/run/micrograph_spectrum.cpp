#include "run/micrograph_spectrum.h"

#include "arrays/array_fill.h"
#include "arrays/array_ops_1d.h"
#include "core/report.h"
#include "io/mrc_read.h"
#include "spectrum/spectrum_background.h"
#include "spectrum/spectrum_grid.h"

namespace {

void read_movie(FILE* micrograph, const MRC_HEAD* head, const QUIB_Para& para, const RunGeometry& g,
                RunBuffers& b, StageTimers& timers) {
  timers.start();
  if (mrc_read_all_nocheck(micrograph, head, b.stack.get()) == -1) QUIB_FATAL("quib", "Reading mrc file failed!");
  timers.stop("READING");

  timers.start();
  const bool incoherent = para.mdef_ave_type != 0;
  hcuda_empty_float(b.image.get(), g.pixels);
  for (int f = 0; f < g.nz; ++f) {
    printf(".");
    fflush(stdout);
    memcpy_H2D(b.device_frame.get(), b.stack.get() + f * g.pixels, g.pixels * sizeof(float));
    hcuda_addto_float(b.image.get(), b.device_frame.get(), g.pixels);
    if (incoherent) {
      hcuda_2d_gridfft_r2c_amp_ave(b.device_frame.get(), b.frame_spectrum.get(), g.nx, g.ny, g.box, g.box, g.step,
                                   para.convsize);
      hcuda_addto_float(b.spectrum.get(), b.frame_spectrum.get(), g.spectrum_size());
    }
  }
  if (incoherent) {
    hcuda_logf_inplace(b.spectrum.get(), g.spectrum_size());
    memcpy_D2D(b.work_b.get(), b.spectrum.get(), g.spectrum_size() * sizeof(float));
    hcuda_2d_fft_amp_subbg_inplace(b.spectrum.get(), g.box, g.box, para.convsize);
  } else {
    hcuda_2d_gridfft_r2c_amp_ave_log_subbg2(b.image.get(), b.spectrum.get(), b.work_b.get(), g.nx, g.ny, g.box, g.box,
                                            g.step, para.convsize);
  }
  printf("\n");
  timers.stop("FFT");
}

void read_single(FILE* micrograph, const MRC_HEAD* head, const QUIB_Para& para, const RunGeometry& g,
                 RunBuffers& b, StageTimers& timers) {
  timers.start();
  printf(".\n");
  if (mrc_read_slice(micrograph, head, 0, 'z', b.frame.get()) == -1) QUIB_FATAL("quib", "Reading mrc file failed!");
  memcpy_H2D(b.image.get(), b.frame.get(), g.pixels * sizeof(float));
  timers.stop("READING");

  timers.start();
  hcuda_2d_gridfft_r2c_amp_ave_log_subbg2(b.image.get(), b.spectrum.get(), b.work_b.get(), g.nx, g.ny, g.box, g.box,
                                          g.step, para.convsize);
  timers.stop("FFT");
}

}  // namespace

int read_micrograph_spectrum(FILE* micrograph, const MRC_HEAD* head, const QUIB_Para& para,
                             const RunGeometry& geometry, RunBuffers& buffers, StageTimers& timers) {
  if (head->nz < 1) {
    QUIB_WARNING("quib", "Invalid frame number!");
    return -1;
  }
  if (head->nz > 1)
    read_movie(micrograph, head, para, geometry, buffers, timers);
  else
    read_single(micrograph, head, para, geometry, buffers, timers);
  return 0;
}
