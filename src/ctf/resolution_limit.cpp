#include "ctf/resolution_limit.h"

#include <string>
#include <vector>

#include "backend/memory.h"
#include "core/ctf_formula.h"
#include "core/report.h"
#include "core/text_lines.h"
#include "ctf/bfactor.h"
#include "ctf/ctf_simulate.h"
#include "ctf/epa_profile.h"
#include "ctf/epa_scan.h"
#include "io/mrc_name.h"

namespace {

constexpr const char* kUnit = "ctf_epa";

// The profiles of one estimate on the host, and where its scan stops.
struct EpaEstimate {
  EpaScanRange range;
  std::vector<float> sim;        // |CTF| along the x axis, band resL .. 2 apix
  std::vector<float> epa;        // EPA of the scored spectrum
  std::vector<float> epa_plain;  // EPA of the second spectrum (empty when none is given)
  std::vector<float> smoothed;   // smoothed local correlation of epa with sim
  float resolution;              // the limit, Angstrom
};

EpaEstimate epa_resolution_limit(const float* spectrum, const float* plain, int nh, int ny, const Optics& optics,
                                 const CtfModel& model, const EpaSettings& settings) {
  const int ov = settings.oversampling;
  const float apix = optics.apix, resL = settings.band.low, resH = settings.band.high;
  const int M = epa_profile_length(nh, ov);
  const size_t n = M > 0 ? static_cast<size_t>(M) : 0;
  DeviceBuffer<float> sim(n), epa(n), epa_plain(plain ? n : 0);
  const CtfSampling x_axis{optics, 0.0f, RESO{resL, 2.0f * apix}};
  hcuda_ctf_mod_simulate_1d(sim.get(), M, x_axis, model.phase_shift,
                            effective_defocus(model.defocus_u, model.defocus_v, model.angle, 0.0f));
  if (plain) {
    const float* in[2] = {spectrum, plain};
    float* const out[2] = {epa.get(), epa_plain.get()};
    hcuda_2d_half_EPA_X_res_pair(in, out, ov, nh, ny, optics, model, settings.band);
  } else {
    hcuda_2d_half_EPA_X_res(spectrum, epa.get(), ov, nh, ny, optics, model, settings.band);
  }

  EpaEstimate e;
  e.range = epa_scan_range(M, nh, apix, resL, resH);
  e.sim = host_copy_of(sim);
  e.epa = host_copy_of(epa);
  e.epa_plain = host_copy_of(epa_plain);
  e.smoothed = epa_smooth_correlation(epa_local_correlation(e.epa.data(), e.sim.data(), e.range), e.range);
  const int limit = epa_limit_index(e.smoothed, e.range, apix, settings.threshold);
  if (limit < 0) {
    QUIB_WARNING(kUnit,
                 "no resolution lies between the correlation windows (box too small or band too narrow); "
                 "the resolution limit is set to resH");
    e.resolution = resH;
  } else {
    e.resolution = epa_scan_resolution(limit, M, apix);
  }
  return e;
}

// Null when the name is too long for a name buffer.
FilePtr open_epa_file(const std::string& name) {
  if (name.size() >= static_cast<size_t>(TEXT_LINE_SIZE)) return nullptr;
  return FilePtr(fopen(name.c_str(), "w+"));
}

// A header, then one line per scanned sample; false when writing failed.
bool write_epa_lines(FILE* file, const EpaEstimate& e, float apix) {
  fprintf(file, "  Resolution      |CTFsim|    EPA( Ln|F| )    EPA(Ln|F| - Bg)    CCC\n");
  for (int i = e.range.first; i < e.range.end; ++i)
    fprintf(file, "%12.6f  %12.6f  %12.6f   %12.6f   %12.6f \n", epa_scan_resolution(i, e.range.M, apix), e.sim[i],
            e.epa_plain[i], e.epa[i], e.smoothed[i]);
  return !ferror(file);
}

}  // namespace

std::string epa_file_name(const char* micrograph) { return mrc_outname(micrograph, "_EPA.log", StackSuffix::kKept); }

float ctf_epa_1d_ccf(const float* spectrum, int nh, int ny, const Optics& optics, const CtfModel& model,
                     const EpaSettings& settings) {
  return epa_resolution_limit(spectrum, nullptr, nh, ny, optics, model, settings).resolution;
}

ResolutionEstimate ctf_epa_1d_ccf_B_estimation(const float* spectrum_sub, const float* spectrum_plain, int nh, int ny,
                                               const Optics& optics, const CtfModel& model,
                                               const ResolutionSettings& settings, const EpaOutput& output) {
  const std::string name = epa_file_name(output.micrograph);
  FilePtr file = open_epa_file(name);
  if (!file) QUIB_FATAL_CANNOT_WRITE(kUnit, name.c_str());
  const EpaEstimate e = epa_resolution_limit(spectrum_sub, spectrum_plain, nh, ny, optics, model, settings.epa);
  if (!write_epa_lines(file.get(), e, optics.apix) || fclose(file.release()) != 0)
    QUIB_FATAL_WRITE_FAILED(kUnit, name.c_str());
  ResolutionEstimate estimate{e.resolution, 0.0f};
  FILE* log = output.log;
  printf("Resolution limit estimated by EPA: \033[1m %.3f \033[m\n", estimate.resolution);
  if (log) fprintf(log, "Resolution limit estimated by EPA: RES_LIMIT %.3f \n", estimate.resolution);
  if (settings.estimate_B) {
    estimate.bfactor = bfac_estimation_from_epa_1d2(e.epa_plain.data(), optics.apix, e.range.M, settings.B_band.low,
                                                    settings.B_band.high);
    printf("Estimated Bfactor: \033[1m %.2f \033[m\n", estimate.bfactor);
    if (log) fprintf(log, "Estimated Bfactor: B_FACTOR  %.2f \n", estimate.bfactor);
  }
  return estimate;
}
