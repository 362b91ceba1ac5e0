#include "run/tips.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "ctf/random_seed.h"
#include "run/help.h"

#define TIP "\033[1m Tips:\033[m "

const char* const QUIB_ALL_TIPS[QUIB_TIPS_COUNT] = {
    TIP
    "--do_EPA shows the equiphase average of the spectrum in the diagnosis image (.ctf); its rings are "
    "easier to judge by eye than those of the raw spectrum.",
    TIP
    "--do_local_refine gives every particle its own defocus, fitted to the boxes around it; the particle "
    "coordinates are read from the micrograph's name with the suffix of --boxsuffix.",
    TIP
    "--do_phase_flip writes a phase-flipped copy of every micrograph (_pf.mrc), whose contrast has one "
    "sign at all frequencies.",
    TIP
    "--do_validation grades every result in five resolution bands; read the grades in the micrograph's log "
    "before trusting a fit at high resolution.",
    TIP
    "--refine_input_ctf with --input_ctfstar refines the CTF values of an existing STAR file instead of "
    "searching from scratch; rows whose defocus is 0 are searched as usual.",
    TIP
    "--ctfstar names the STAR file of the results; give every part of a data set its own name (for "
    "example --ctfstar session1) so that runs on different folders keep separate files.",
    TIP
    "--do_Hres_ref refines the CTF once more between --Href_resL and --Href_resH with the B-factor "
    "--Href_bfac; it pays off when the Thon rings reach high resolution.",
    TIP "For a Cs-corrected microscope set --cs close to 0 (for example 0.01) instead of the default 2.7.",
    TIP
    "Strongly astigmatic micrographs need a larger --astm (the expected astigmatism in Angstrom); the "
    "default 1000 suits a well-aligned microscope.",
    TIP "The ring in the diagnosis image marks the estimated resolution limit; --plot_res_ring 0 leaves it out.",
    TIP
    "For movies --mdef_ave_type 0 averages the frames before the FFT (coherent), --mdef_ave_type 1 averages "
    "the spectra of the frames (incoherent), which tolerates drift between frames.",
    TIP
    "Options may be written with one or two dashes and in any case: -APIX 1.06, --apix 1.06 and "
    "--Apix 1.06 are the same option.",
    TIP
    "--bfac weights the fit towards low resolution; raise it for noisy micrographs whose rings fade early, "
    "lower it when the rings are strong at high resolution.",
    TIP
    "For phase-plate data give any of --phase_shift_L, --phase_shift_H, --phase_shift_S or "
    "--phase_shift_T; the phase-shift search then starts with settings suited to it (box 512, resL 15).",
    TIP
    "--do_unfinished skips micrographs whose log already holds 'Processing done successfully', so an "
    "interrupted run can be resumed with the same command.",
    TIP
    "--apix must be the pixel size of the micrographs as they are given, after any binning; a wrong pixel "
    "size scales every defocus.",
    TIP
    "--boxsize 512 is faster and often enough; --boxsize 1024 samples the rings more finely for high "
    "defocus or small pixels.",
    TIP "--resH limits the fit at high resolution; it is never finer than twice the pixel size (Nyquist).",
    TIP
    "--overlap sets how much the FFT boxes overlap; more overlap averages more boxes into a smoother "
    "spectrum at some cost in time.",
    TIP
    "--gid chooses the GPU by number; run one quib per GPU on different sets of micrographs to use several "
    "GPUs at once.",
    TIP
    "--do_mdef_refine refines the defocus of windows of --mdef_aveN frames of a movie or stack; --mdef_fit "
    "fits a straight line to them.",
    TIP
    "--write_local_ctf writes a stack of per-particle diagnosis images (_local.ctf) beside the "
    "per-particle STAR file, to check local fits by eye.",
    TIP "Run the program with --help as its first argument for every option with its default.",
};

#undef TIP

void quib_put_one_random_tip() {
  quib_reseed();
  const int tip = rand() % QUIB_TIPS_COUNT;
  quib_put_rule('-', 127);
  printf("%s\n", QUIB_ALL_TIPS[tip]);
  quib_put_rule('-', 127);
}

void quib_put_all_tips() {
  for (const char* tip : QUIB_ALL_TIPS) printf("%s\n\n", tip);
  printf(
      "\033[1m Reporting problems:\033[m please give the full command line, the version printed in the "
      "banner and the log of the micrograph concerned.\n");
  printf("\033[1m Citing:\033[m please name the program and its version in the methods of your work.\n\n");
}
