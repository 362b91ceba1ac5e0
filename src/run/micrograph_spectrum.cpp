#include "run/micrograph_spectrum.h"

#include "arrays/array_fill.h"
#include "arrays/array_ops_1d.h"
#include "backend/memory.h"
#include "core/report.h"
#include "io/micrograph_file.h"
#include "run/gain_reference.h"
#include "run/stage_timer.h"
#include "spectrum/spectrum_background.h"
#include "spectrum/spectrum_grid.h"

namespace {

// The pixels into the host buffer (from the prefetch or the file), each frame multiplied by the gain
// reference when the run has one. "" or why they could not be read.
std::string read_pixels(FILE* micrograph, const MRC_HEAD* head, const ReadPixels& read_before, RunBuffers& b,
                        HostBuffer<float>& pixels) {
  std::string why;
  if (!read_before(pixels) && !micrograph_read_all(micrograph, head, pixels.get(), why)) {
    if (!why.empty()) return "its pixels could not be read (" + why + ")";
    QUIB_WARNING("quib", "Reading mrc file failed");
    return "its pixels could not be read";
  }
  if (b.gain.size() > 0) apply_gain(b.gain.get(), b.gain.size(), pixels.get(), head->nz);
  return "";
}

std::string read_movie(FILE* micrograph, const MRC_HEAD* head, const QUIB_Para& para, const RunGeometry& g,
                       RunBuffers& b, const ReadPixels& read_before) {
  {
    StageTimer reading("READING");
    const std::string unread = read_pixels(micrograph, head, read_before, b, b.stack);
    if (!unread.empty()) return unread;
  }
  StageTimer fft("FFT");
  MicrographSpectrum& s = b.spectrum;
  const bool incoherent = para.mdef_ave_type != 0;
  hcuda_empty_float(b.image.get(), g.pixels);
  for (int f = 0; f < g.nz; ++f) {
    printf(".");
    fflush(stdout);
    const float* frame = device_readable(b.stack.get() + f * g.pixels, b.device_frame.get(), g.pixels);
    hcuda_addto_float(b.image.get(), frame, g.pixels);
    if (incoherent) {
      hcuda_2d_gridfft_r2c_amp_ave(frame, b.frame_spectrum.get(), g.nx, g.ny, g.box, g.box, g.step, para.convsize);
      hcuda_addto_float(s.subtracted.get(), b.frame_spectrum.get(), g.spectrum_size());
    }
  }
  if (incoherent) {
    hcuda_logf_inplace(s.subtracted.get(), g.spectrum_size());
    memcpy_D2D(s.log_amplitude.get(), s.subtracted.get(), g.spectrum_size() * sizeof(float));
    hcuda_2d_fft_amp_subbg_inplace(s.subtracted.get(), g.box, g.box, para.convsize);
  } else {
    hcuda_2d_gridfft_r2c_amp_ave_log_subbg2(b.image.get(), s.subtracted.get(), s.log_amplitude.get(), g.nx, g.ny, g.box,
                                            g.box, g.step, para.convsize);
  }
  printf("\n");
  return "";
}

std::string read_single(FILE* micrograph, const MRC_HEAD* head, const QUIB_Para& para, const RunGeometry& g,
                        RunBuffers& b, const ReadPixels& read_before) {
  {
    StageTimer reading("READING");
    printf(".\n");
    const std::string unread = read_pixels(micrograph, head, read_before, b, b.frame);
    if (!unread.empty()) return unread;
    move_H2D(b.image, b.frame);
  }
  StageTimer fft("FFT");
  hcuda_2d_gridfft_r2c_amp_ave_log_subbg2(b.image.get(), b.spectrum.subtracted.get(), b.spectrum.log_amplitude.get(),
                                          g.nx, g.ny, g.box, g.box, g.step, para.convsize);
  return "";
}

}  // namespace

std::string read_micrograph_spectrum(FILE* micrograph, const MRC_HEAD* head, const QUIB_Para& para,
                                     const RunGeometry& geometry, RunBuffers& buffers, const ReadPixels& read_before) {
  if (head->nz < 1) {
    QUIB_WARNING("quib", "Invalid frame number!");
    return "its pixels could not be read";
  }
  hcuda_empty_float(buffers.spectrum.subtracted.get(), geometry.spectrum_size());
  return head->nz > 1 ? read_movie(micrograph, head, para, geometry, buffers, read_before)
                      : read_single(micrograph, head, para, geometry, buffers, read_before);
}
