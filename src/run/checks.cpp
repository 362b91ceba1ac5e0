#include "run/checks.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "backend/device.h"
#include "core/report.h"
#include "io/ptcl_box.h"
#include "run/help.h"

namespace {

// x brought into [0, 360) by whole turns.
float whole_turns_reduced(float x) { return x - 360.0f * floorf(x / 360.0f); }

void check_files(int argc, char** argv, const QUIB_Para* p) {
  if (p->nfiles != 0) return;
  printf("Error: No files to be processed.\n");
  quib_search_refine_defocus_help(argc > 0 ? argv[0] : "quib");
  fflush(stdout);
  exit(1);
}

void check_optics(QUIB_Para* p) {
  const double apix = p->apix;
  if (apix <= 0.01 || p->apix > 100.0f) {
    printf("Warning: Invalid pixel size %.2f! Exit now. Make sure you are using the right value, typically "
           "0.5~3.0. Set it as default 1.34.\n", p->apix);
    p->apix = 1.34f;
  } else if (p->apix > 10.0f || (apix > 0.01 && apix < 0.3)) {
    printf("Warning: pixel size %.2f too large or small! Program will still run, but make sure you are using "
           "the right value, typically 0.5~3.0.\n", p->apix);
  }
  const double dstep = p->dstep;
  if (dstep <= 0.1 || p->dstep > 1000.0f) {
    printf("Warning: Invalid detector size %.2f! Exit now. Make sure you are using the right value, typically "
           "3.0~30.0.Set it as default 14.0.\n", p->dstep);
    p->dstep = 14.0f;
  }
  if (p->kV < 10.0f || p->kV > 500.0f) {
    printf("Waring: Invalid high tension value kV=%.2f. Exit now. Make sure you are using the right value, "
           "typically 300, 200, 120kV.\n", p->kV);
    p->kV = 300.0f;
  }
  if (p->cs < 0.0f || p->cs >= 100.0f) {
    printf("Waring: too small or large --Cs %.2f! Make sure you are using the right value, typically 2.0~2.7 "
           "in general case or ~0 for Cs corrected microscope. Set it as default.\n", p->cs);
    p->cs = 2.7f;
  }
  if (p->ac < 0.0f || p->ac > 1.0f) {
    printf("Waring: too small or large --ac %.2f! Make sure you are using the right value, typically "
           "0.04~0.1. Set it as default.\n", p->ac);
    p->ac = 0.1f;
  }
  if (p->bfac <= -500.0f || p->bfac >= 5000.0f) {
    printf("Waring: too small or large --bfac %.2f! Make sure you are using the right value, typically "
           "0~500. Set it as default.\n", p->bfac);
    p->bfac = 150.0f;
  }
}

void check_defocus(QUIB_Para* p) {
  if (p->defL > p->defH) {
    printf("Warning: defL larger than defH, swapping them ...\n");
    std::swap(p->defL, p->defH);
  }
  if (p->defH - p->defL < 10.0f) {
    printf("Warning: difference between defH and defL is too smaller, forcing them to be larger than 10.0 "
           "angstrom.\n");
    p->defH = p->defL + 10.0f;
  }
  if (p->defS < 0.0f) {
    printf("Warning: defS smaller than 0, forcing it to be positive ...\n");
    p->defS = -p->defS;
  }
  if (p->defS > p->defH - p->defL) {
    printf("Warning:  def_step is larger than (defH - defL), forcing it to be (defH - defL)/3 ...\n");
    p->defS = (p->defH - p->defL) / 3.0f;
  }
  // A zero step would never advance the defocus search.
  if (p->defS == 0.0f) QUIB_FATAL("ctf", "Invalid --defS 0: the defocus search step must be larger than 0");
  if (p->astm < 0.0f) {
    p->astm = -p->astm;
  } else if (p->astm >= 10000.0f) {
    printf("Waring: too large --astm %.2f! Make sure you are using the right value, typically 100~3000 "
           "angstrom. Set it as default 1000.0 angstrom. \n", p->astm);
    p->astm = 1000.0f;
  }
}

void check_resolutions(QUIB_Para* p) {
  if (p->resH > p->resL) {
    printf("Warning: resL smaller than resH, swapping them ...\n");
    std::swap(p->resL, p->resH);
  }
  if (p->resH < 2.0f * p->apix) {
    printf("Waring: Invalid resH %.2f! Exit now. Make sure you are using the right value, typically 4.0~8.0 "
           "angstrom, and must be smaller than 30.Set it as default 4.0 angstrom.\n", p->resH);
    p->resH = 2.0f * p->apix;
  }
  if (p->resH > 30.0f) {
    printf("Waring: Invalid resH %.2f! Too big for reliable CTF determination! Reset to min{4.0, Nyquist} "
           "Make sure you are using the right value, typically 4.0~8.0 angstrom, and must be smaller than "
           "30.Set it as default 4.0 angstrom.\n", p->resH);
    p->resH = 2.0f * p->apix > 4.0f ? 2.0f * p->apix : 4.0f;
  }
  if (p->resH >= 15.0f && p->resH <= 30.0f) {
    printf("Waring: too large resH %.2f! Program will still run, but make sure you are using the right "
           "value, typically 4.0~8.0 angstrom, and must be smaller than 30.0 angstrom.\n", p->resH);
  }
  if (p->resL < 6.0f) {
    printf("Waring: Invalid resL %.2f! Exit now. Make sure you are using the right value, typically 500~50 "
           "angstrom, and must be larger than 15. Set as default 50.0 angstrom.\n", p->resL);
    p->resL = 50.0f;
  }
  if (p->resL >= 6.0f && p->resL <= 12.0f) {
    printf("Waring: too small resL %.2f! Program will still run, but make sure you are using the right "
           "value, typically 500~50 angstrom, and usually larger than 10.0 angstrom.\n", p->resL);
  }
}

void check_boxes(QUIB_Para* p) {
  if (p->boxsize >= 2049) {
    printf("Waring: too large  --boxsize %d! Make sure you are using the right value, typically 512 or 1024, "
           "can't be larger than 2048(2048 still fine). Set it as default 1024. \n", p->boxsize);
    p->boxsize = 1024;
  }
  if (p->boxsize < 128) {
    printf("Waring: too small  --boxsize %d! Make sure you are using the right value, typically 512 or 1024, "
           "can't be smaller than 128(128 still fine). Set it as default 1024. \n", p->boxsize);
    p->boxsize = 1024;
  }
  if (p->overlap > 0.9f) {
    printf("Waring: too large --overlap %.2f! Make sure you are using the right value, range 0.0~0.9, best. "
           "Set it as 0.9. \n", p->overlap);
    p->overlap = 0.9f;
  }
  if (p->overlap < 0.0f) {
    printf("Waring: too small --overlap %.2f! Make sure you are using the right value, typically 0.0~0.9. "
           "Set it as 0.0. \n", p->overlap);
    p->overlap = 0.0f;
  }
  if (p->convsize > p->boxsize / 2) {
    printf("Waring: too large --convsize %d! Make sure you are using the right value, typically 0.0~0.9. Set "
           "it as default boxsize/12 . \n", p->convsize);
    p->convsize = p->boxsize / 12;
  }
  if (p->B_resH < 2.0f * p->apix) p->B_resH = 2.0f * p->apix;
}

void check_phase_shift(QUIB_Para* p) {
  if (p->phase_shift_L < 0.0f || p->phase_shift_L > 360.0f) p->phase_shift_L = whole_turns_reduced(p->phase_shift_L);
  if (p->phase_shift_H < 0.0f || p->phase_shift_H > 360.0f) p->phase_shift_H = whole_turns_reduced(p->phase_shift_H);
  if (p->phase_shift_L > p->phase_shift_H) std::swap(p->phase_shift_L, p->phase_shift_H);
  if (p->phase_shift_S >= p->phase_shift_H - p->phase_shift_L) {
    printf("Waring: too large  phase shift search step: --phase_shift_S %f! Make sure you are using the right "
           "value, typically 3-15. \n", p->phase_shift_S);
  }
  // A step that is not positive would never advance the phase-shift search.
  if (p->do_phase_shift && p->phase_shift_S <= 0.0f) {
    char text[160];
    snprintf(text, sizeof text, "Invalid --phase_shift_S %.2f: the phase-shift search step must be larger than 0",
             p->phase_shift_S);
    QUIB_FATAL("ctf", text);
  }
  if (p->phase_shift_T != 1 && p->phase_shift_T != 2) {
    printf("Waring: invalide --phase_shift_T %d! Make sure you are using the right value: 1 or 2. Forced to "
           "set --phase_shift_T  1\n", p->phase_shift_T);
    p->phase_shift_T = 1;
  }
}

void check_movie(const QUIB_Para* p) {
  if (p->mdef_fit == 1 && p->mdef_ave_type == 0)
    printf("Linear fitting for movie CTF is only allowed for coherent averaging (--mdef_ave_type 1).\n");
  if (p->mdef_aveN < 1) {
    char text[128];
    snprintf(text, sizeof text, "Invalid --mdef_aveN %d: at least one frame must be averaged", p->mdef_aveN);
    QUIB_FATAL("ctf", text);
  }
}

}  // namespace

int quib_truncate_to_int(double number) {
  if (number >= 2147483647.0) return 2147483647;
  if (number <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(number);
}

int quib_local_grid_step(float local_overlap, int local_boxsize) {
  return quib_truncate_to_int((1.0 - static_cast<double>(local_overlap)) * local_boxsize);
}

void quib_check_local_grid(const QUIB_Para* p) {
  if (!p->do_local_refine) return;
  const int step = quib_local_grid_step(p->local_overlap, p->local_boxsize);
  char text[256];
  if (step < 1) {
    snprintf(text, sizeof text,
             "Invalid local grid: step (1 - local_overlap) * local_boxsize = %d pixels, it must be at least 1",
             step);
    QUIB_FATAL("ctf", text);
  }
  if (count_neighbor_boxes(p->local_radius, step) > PTCL_BOX_CAPACITY) {
    snprintf(text, sizeof text,
             "Too many local boxes: --local_radius %.2f with a grid step of %d pixels exceeds %d boxes around a "
             "particle",
             p->local_radius, step, PTCL_BOX_CAPACITY);
    QUIB_FATAL("ctf", text);
  }
}

int Quib_check_parameters(int argc, char** argv, QUIB_Para* para) {
  check_files(argc, argv, para);
  check_optics(para);
  check_defocus(para);
  check_resolutions(para);
  check_boxes(para);
  check_phase_shift(para);
  check_movie(para);
  quib_check_local_grid(para);
  if (!para->skip_check_gpu && check_and_set_gid(para->gid) != 0)
    QUIB_FATAL("ctf", "Error: Failed to find any proper GPU device!\n");
  return 0;
}
