#include "simulate/sim_params.h"

#include <algorithm>
#include <cmath>

#include "core/ctf_formula.h"
#include "core/report.h"

namespace {

void require(bool ok, const char* message) {
  if (!ok) QUIB_FATAL("sim_params", message);
}

bool within(double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; }

}  // namespace

void check_sim_params(const SimParams& p) {
  require(p.nx >= 16 && p.nx <= 16384, "nx must lie between 16 and 16384");
  require(p.ny >= 16 && p.ny <= 16384, "ny must lie between 16 and 16384");
  require(p.nz >= 1 && p.nz <= 1000, "nz must lie between 1 and 1000");
  require(within(p.apix, 0.05, 100.0), "apix must lie between 0.05 and 100 Angstrom");
  require(within(p.kV, 1.0, 3000.0), "kV must lie between 1 and 3000");
  require(within(p.Cs, 0.0, 100.0), "Cs must lie between 0 and 100 mm");
  require(within(p.ac, 0.0, 1.0), "ac must lie between 0 and 1");
  require(within(p.defU, -1e6, 1e6) && within(p.defV, -1e6, 1e6),
          "defocus U and V must lie between -1e6 and 1e6 Angstrom");
  require(within(p.angle, -1e6, 1e6), "angle must be a finite number of degrees");
  require(within(p.phase_shift, -1e6, 1e6), "phase_shift must be a finite number of degrees");
  require(within(p.bfac, 0.0, 1e5), "bfac must lie between 0 and 1e5 square Angstrom");
  require(within(p.dose, 1e-6, 1e6), "dose must lie between 1e-6 and 1e6 electrons per square Angstrom");
  require(within(double(p.dose) * p.apix * p.apix, 0.0, 1e7), "dose * apix^2 must not exceed 1e7 electrons per pixel");
  require(within(double(p.drift) * (p.nz - 1), -1e6, 1e6), "drift times frames must lie within 1e6 Angstrom");
  require(within(p.tilt_angle, -70.0, 70.0), "tilt_angle must lie between -70 and 70 degrees");
  require(within(p.tilt_axis, -1e6, 1e6), "tilt_axis must be a finite number of degrees");
  require(p.nptcl >= 0 && p.nptcl <= 10240, "nptcl must lie between 0 and 10240");
  require(p.nptcl == 0 || (p.box >= 8 && p.box <= std::min(p.nx, p.ny)),
          "box must lie between 8 and the smaller image side");
}

float frame_defocus_shift(const SimParams& p, int frame) { return p.drift * frame; }

float mean_defocus_shift(const SimParams& p) { return 0.5f * p.drift * (p.nz - 1); }

DefocusPlane defocus_plane(const SimParams& p) {
  const double slope = p.apix * std::tan(p.tilt_angle * kPi / 180.0);
  const double axis = p.tilt_axis * kPi / 180.0;
  return {0.5 * (p.nx - 1), 0.5 * (p.ny - 1), -slope * std::sin(axis), slope * std::cos(axis)};
}
