#include "run/checks.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <utility>

#include "backend/device.h"
#include "core/report.h"
#include "core/text_lines.h"
#include "io/ptcl_box.h"
#include "run/help.h"

namespace {

// The text of a printf-style format, for the messages of fatal errors.
__attribute__((format(printf, 1, 2))) std::string formatted(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// Ends the run (status 1) with a message built like printf's, naming the check that refused.
#define REFUSE(...) QUIB_FATAL("ctf", formatted(__VA_ARGS__).c_str())

// x brought into [0, 360) by whole turns.
float whole_turns_reduced(float x) { return x - 360.0f * floorf(x / 360.0f); }

void check_files(int argc, char** argv, const QUIB_Para* p) {
  if (p->nfiles != 0 || !is_str_null(p->watch)) return;
  printf("Error: No files to be processed.\n");
  quib_search_refine_defocus_help(argc > 0 ? argv[0] : "quib");
  fflush(stdout);
  exit(1);
}

// Optics that no fit can use stop the run; the bounds are compared in double, so 0.01f is refused
// as a pixel size and 0.1f accepted as a detector pixel size.
void check_optics(QUIB_Para* p) {
  const double apix = p->apix;
  if (apix <= 0.01 || apix > 100.0)
    REFUSE("Invalid --apix %g: the pixel size must be larger than 0.01 and at most 100 Angstrom (typically 0.5 to 3.0)",
           apix);
  if (apix > 10.0 || apix < 0.3)
    printf("Warning: --apix %g is an unusual pixel size (typically 0.5 to 3.0 Angstrom); the run goes on with it.\n",
           apix);
  const double dstep = p->dstep;
  if (dstep <= 0.1 || dstep > 1000.0)
    REFUSE(
        "Invalid --dstep %g: the detector pixel size must be larger than 0.1 and at most 1000 micrometres (typically 3 "
        "to 30)",
        dstep);
  if (p->kV < 10.0f || p->kV > 500.0f)
    REFUSE("Invalid --kV %g: the acceleration voltage must be 10 to 500 kV (typically 300, 200 or 120)", p->kV);
  if (p->cs < 0.0f || p->cs >= 100.0f)
    REFUSE(
        "Invalid --cs %g: the spherical aberration must be at least 0 and below 100 mm (typically 2.0 to 2.7, about 0 "
        "when corrected)",
        p->cs);
  if (p->ac < 0.0f || p->ac > 1.0f)
    REFUSE("Invalid --ac %g: the amplitude contrast must be 0 to 1 (typically 0.04 to 0.1)", p->ac);
  if (p->bfac <= -500.0f || p->bfac >= 5000.0f) {
    printf(
        "Warning: --bfac %g is outside -500 to 5000 square Angstrom (typically 0 to 500); the default 150 is used "
        "instead.\n",
        p->bfac);
    p->bfac = 150.0f;
  }
}

void check_defocus(QUIB_Para* p) {
  if (p->defL > p->defH) {
    printf("Warning: defL larger than defH, swapping them ...\n");
    std::swap(p->defL, p->defH);
  }
  if (p->defH - p->defL < 10.0f) {
    printf("Warning: --defH and --defL are less than 10 Angstrom apart; --defH is set to --defL + 10.\n");
    p->defH = p->defL + 10.0f;
  }
  if (p->defS < 0.0f) {
    printf("Warning: defS smaller than 0, forcing it to be positive ...\n");
    p->defS = -p->defS;
  }
  if (p->defS > p->defH - p->defL) {
    printf("Warning: --defS is larger than the range --defH - --defL; it is set to a third of the range.\n");
    p->defS = (p->defH - p->defL) / 3.0f;
  }
  // A zero step would never advance the defocus search.
  if (p->defS == 0.0f) QUIB_FATAL("ctf", "Invalid --defS 0: the defocus search step must be larger than 0");
  if (p->astm < 0.0f) {
    p->astm = -p->astm;
  } else if (p->astm >= 10000.0f) {
    printf(
        "Warning: --astm %g is too large (typically 100 to 3000 Angstrom); the default 1000 Angstrom is used "
        "instead.\n",
        p->astm);
    p->astm = 1000.0f;
  }
}

// The fitting band runs from resL (coarse) to resH (fine). A band that is empty or lies wholly
// beyond Nyquist leaves nothing to fit, so it stops the run; other bad ends are repaired.
void check_resolutions(QUIB_Para* p) {
  if (p->resH > p->resL) {
    printf("Warning: resL smaller than resH, swapping them ...\n");
    std::swap(p->resL, p->resH);
  }
  const float nyquist = 2.0f * p->apix;
  if (p->resL == p->resH)
    REFUSE("Invalid fitting band --resL %g --resH %g: it is empty (--resL must be larger than --resH)", p->resL,
           p->resH);
  if (p->resL <= nyquist)
    REFUSE("Invalid fitting band --resL %g --resH %g: it lies wholly beyond Nyquist, %g Angstrom at --apix %g", p->resL,
           p->resH, nyquist, p->apix);
  if (p->resH < nyquist) {
    printf("Warning: --resH %g lies beyond Nyquist; the fit stops at Nyquist, %g Angstrom (2 x --apix).\n", p->resH,
           nyquist);
    p->resH = nyquist;
  }
  if (p->resH > 30.0f) {
    const float reset = nyquist > 4.0f ? nyquist : 4.0f;
    printf(
        "Warning: --resH %g is too coarse for a reliable CTF fit (it must be 30 Angstrom or finer, typically 4 to 8); "
        "%g Angstrom, the coarser of 4 Angstrom and Nyquist, is used instead.\n",
        p->resH, reset);
    p->resH = reset;
  }
  if (p->resH >= 15.0f && p->resH <= 30.0f) {
    printf("Warning: --resH %g is coarse for a CTF fit (typically 4 to 8 Angstrom); the run goes on with it.\n",
           p->resH);
  }
  if (p->resL < 6.0f) {
    printf(
        "Warning: --resL %g is too fine for the coarse end of the fit (it must be 6 Angstrom or coarser, typically 50 "
        "to 500); the default 50 Angstrom is used instead.\n",
        p->resL);
    p->resL = 50.0f;
  }
  if (p->resL >= 6.0f && p->resL <= 12.0f) {
    printf(
        "Warning: --resL %g is fine for the coarse end of the fit (typically 50 to 500 Angstrom, usually coarser than "
        "10); the run goes on with it.\n",
        p->resL);
  }
}

void check_boxes(QUIB_Para* p) {
  if (p->boxsize >= 2049) {
    printf("Warning: --boxsize %d is larger than 2048 (typically 512 or 1024); the default 1024 is used instead.\n",
           p->boxsize);
    p->boxsize = 1024;
  }
  if (p->boxsize < 128) {
    printf("Warning: --boxsize %d is smaller than 128 (typically 512 or 1024); the default 1024 is used instead.\n",
           p->boxsize);
    p->boxsize = 1024;
  }
  // The spectra and the diagnosis image are laid out for an even box.
  if (p->boxsize % 2 != 0) {
    printf("Warning: --boxsize %d is odd; the even size %d is used instead.\n", p->boxsize, p->boxsize - 1);
    p->boxsize -= 1;
  }
  if (p->overlap > 0.9f) {
    printf("Warning: --overlap %g is larger than 0.9; 0.9 is used instead.\n", p->overlap);
    p->overlap = 0.9f;
  }
  if (p->overlap < 0.0f) {
    printf("Warning: --overlap %g is negative; 0 is used instead.\n", p->overlap);
    p->overlap = 0.0f;
  }
  // A smoothing box of no pixels would leave no background to subtract, and every spectrum blank.
  if (p->convsize < 1 || p->convsize > p->boxsize / 2) {
    printf("Warning: --convsize %d is outside 1 to boxsize/2 = %d; boxsize/12 = %d pixels is used instead.\n",
           p->convsize, p->boxsize / 2, p->boxsize / 12);
    p->convsize = p->boxsize / 12;
  }
  if (p->B_resH < 2.0f * p->apix) p->B_resH = 2.0f * p->apix;
}

// Below 1 the equiphase average has at most one sample; far above 16 it takes minutes per micrograph.
void check_equiphase_average(const QUIB_Para* p) {
  if (p->EPA_oversmp < 1 || p->EPA_oversmp > 16)
    REFUSE("Invalid --EPA_oversmp %d: the oversampling of the equiphase average must be 1 to 16", p->EPA_oversmp);
}

void check_phase_shift(QUIB_Para* p) {
  if (p->phase_shift_L < 0.0f || p->phase_shift_L > 360.0f) p->phase_shift_L = whole_turns_reduced(p->phase_shift_L);
  if (p->phase_shift_H < 0.0f || p->phase_shift_H > 360.0f) p->phase_shift_H = whole_turns_reduced(p->phase_shift_H);
  if (p->phase_shift_L > p->phase_shift_H) std::swap(p->phase_shift_L, p->phase_shift_H);
  if (p->phase_shift_S >= p->phase_shift_H - p->phase_shift_L) {
    printf(
        "Warning: --phase_shift_S %g is not smaller than the searched range --phase_shift_H - --phase_shift_L "
        "(typically 3 to 15 degrees); the run goes on with it.\n",
        p->phase_shift_S);
  }
  // A step that is not positive would never advance the phase-shift search.
  if (p->do_phase_shift && p->phase_shift_S <= 0.0f)
    REFUSE("Invalid --phase_shift_S %.2f: the phase-shift search step must be larger than 0", p->phase_shift_S);
  if (p->phase_shift_T != 1 && p->phase_shift_T != 2) {
    printf("Warning: --phase_shift_T %d is neither 1 nor 2; 1 (cross-correlation) is used instead.\n",
           p->phase_shift_T);
    p->phase_shift_T = 1;
  }
}

void check_movie(const QUIB_Para* p) {
  if (p->mdef_fit && !p->do_mdef_refine)
    printf("Warning: --mdef_fit fits lines to the windows of --do_mdef_refine, which is off; no line is fitted.\n");
  // The windows are always averaged incoherently: frames that drift apart would blur a coherent sum.
  if (p->do_mdef_refine && p->mdef_ave_type != 1)
    printf(
        "Warning: --do_mdef_refine sums the spectra of each window's frames (the incoherent average of "
        "--mdef_ave_type 1); --mdef_ave_type %d applies to the whole movie's CTF only.\n",
        p->mdef_ave_type);
  if (p->mdef_aveN < 1) REFUSE("Invalid --mdef_aveN %d: at least one frame must be averaged", p->mdef_aveN);
}

// The band of local refinement, like the fitting band: empty, non-positive or wholly beyond
// Nyquist stops the run; ends in the wrong order or beyond Nyquist are repaired.
void check_local_band(QUIB_Para* p) {
  if (!(p->local_resL > 0.0f) || !(p->local_resH > 0.0f))
    REFUSE("Invalid local band --local_resL %g --local_resH %g: both resolutions must be larger than 0 Angstrom",
           p->local_resL, p->local_resH);
  if (p->local_resH > p->local_resL) {
    printf("Warning: --local_resL %g is finer than --local_resH %g; they are exchanged.\n", p->local_resL,
           p->local_resH);
    std::swap(p->local_resL, p->local_resH);
  }
  const float nyquist = 2.0f * p->apix;
  if (p->local_resL == p->local_resH)
    REFUSE("Invalid local band --local_resL %g --local_resH %g: it is empty (--local_resL must be larger)",
           p->local_resL, p->local_resH);
  if (p->local_resL <= nyquist)
    REFUSE(
        "Invalid local band --local_resL %g --local_resH %g: it lies wholly beyond Nyquist, %g Angstrom at --apix %g",
        p->local_resL, p->local_resH, nyquist, p->apix);
  if (p->local_resH < nyquist) {
    printf("Warning: --local_resH %g lies beyond Nyquist; the local fit stops at Nyquist, %g Angstrom.\n",
           p->local_resH, nyquist);
    p->local_resH = nyquist;
  }
}

// Local refinement's own options, checked only when it runs.
void check_local_refinement(QUIB_Para* p) {
  if (!p->do_local_refine) return;
  if (p->local_boxtype != 1)
    REFUSE("Invalid --local_boxtype %d: only 1 (the boxes around the particles of the box file) is available",
           p->local_boxtype);
  if (p->local_boxsize < 64)
    REFUSE("Invalid --local_boxsize %d: a local box must be at least 64 pixels (typically 256 to 512)",
           p->local_boxsize);
  // The spectra and the diagnosis images are laid out for an even box.
  if (p->local_boxsize % 2 != 0) {
    printf("Warning: --local_boxsize %d is odd; the even size %d is used instead.\n", p->local_boxsize,
           p->local_boxsize - 1);
    p->local_boxsize -= 1;
  }
  if (!(p->local_radius > 0.0f))
    REFUSE(
        "Invalid --local_radius %g: a particle's neighbourhood needs a radius larger than 0 pixels (typically 512 "
        "to 1024)",
        p->local_radius);
  check_local_band(p);
  if (p->local_avetype < 0 || p->local_avetype > 2) {
    printf("Warning: --local_avetype %d is not 0, 1 or 2; 0 (equal weights) is used instead.\n", p->local_avetype);
    p->local_avetype = 0;
  }
  // A point midway between four grid boxes lies step / sqrt(2) from each of their centres.
  const int step = quib_local_grid_step(p->local_overlap, p->local_boxsize);
  if (p->local_radius < 0.7072f * step)
    printf(
        "Warning: --local_radius %g is small for the local grid step of %d pixels; particles between grid boxes may "
        "find no box within it and keep the micrograph's values.\n",
        p->local_radius, step);
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
  if (step < 1)
    REFUSE("Invalid local grid: step (1 - local_overlap) * local_boxsize = %d pixels, it must be at least 1", step);
  if (count_neighbor_boxes(p->local_radius, step) > PTCL_BOX_CAPACITY)
    REFUSE("Too many local boxes: --local_radius %.2f with a grid step of %d pixels exceeds %d boxes around a particle",
           p->local_radius, step, PTCL_BOX_CAPACITY);
}

void check_star_layout(const QUIB_Para* p) {
  if (p->ctfstar_format != 30 && p->ctfstar_format != 31)
    REFUSE("Invalid --ctfstar_format %d: 30 writes the RELION 3.0 table, 31 the tables of RELION 3.1 and later",
           p->ctfstar_format);
}

// A live run takes its micrographs from the pattern and resumes where an earlier run of the same
// folder stopped, unless told otherwise.
void check_watch(QUIB_Para* p) {
  if (is_str_null(p->watch)) return;
  if (p->input_ctfstar_set)
    REFUSE("--watch finds its micrographs by the pattern and cannot take them from --input_ctfstar");
  if (!(p->watch_idle >= 0.0f))
    REFUSE("Invalid --watch_idle %g: the minutes without a new file must be 0 (never end) or more", p->watch_idle);
  if (!p->do_unfinished_set) p->do_unfinished = 1;
}

int Quib_check_parameters(int argc, char** argv, QUIB_Para* para) {
  check_files(argc, argv, para);
  check_watch(para);
  check_optics(para);
  check_defocus(para);
  check_resolutions(para);
  check_boxes(para);
  check_equiphase_average(para);
  check_phase_shift(para);
  check_movie(para);
  check_local_refinement(para);
  quib_check_local_grid(para);
  check_star_layout(para);
  if (!para->skip_check_gpu && check_and_set_gid(para->gid) != 0) QUIB_FATAL("ctf", "No usable GPU device found");
  return 0;
}
