// The settings each stage takes, filled from the run's parameter record: the stages below the
// driver never see QUIB_Para.
#pragma once

#include "core/ctf_records.h"
#include "ctf/local_refine.h"
#include "ctf/refine_start.h"
#include "ctf/resolution_limit.h"
#include "ctf/search_1d.h"
#include "ctf/search_sequence.h"
#include "output/ctf_star_writer.h"
#include "output/diagnosis_image.h"
#include "run/quib_para.h"

// --kV, --cs, --ac and --apix.
Optics run_optics(const QUIB_Para& para);

// --ctfstar_format (checked to be 30 or 31).
CtfStarLayout ctfstar_layout(const QUIB_Para& para);

// The 1D search: the box, --bfac and --resL..--resH, and the grid --defL, --defH, --defS.
DefocusSearchSettings defocus_search_settings(const QUIB_Para& para);

// The start of micrograph `index`'s refinement: the user's values from the command line
// (--refine_input_ctf with one micrograph and no input STAR file) or from its row of the input
// CTF STAR file, else a start around the 1D search's defocus.
RefineStartSettings refine_start_settings(const QUIB_Para& para, int index);

// The whole search and refine sequence of micrograph `index`.
// How far the defocus of micrograph `index` may be off: the user's error range when its given
// values are refined, else the 1D search's step. Local and movie refinement take their defocus
// steps from it.
float micrograph_defocus_range(const QUIB_Para& para, int index);
SearchRefineSettings search_refine_settings(const QUIB_Para& para, int index);

// Local refinement of micrograph `index`: --local_boxsize on the grid of --local_overlap, the
// weights of --local_avetype within --local_radius, the band --local_resL..--local_resH, and a
// first defocus step of a third of the micrograph's defocus range.
LocalRefineSettings local_refine_settings(const QUIB_Para& para, int index);

// The resolution limit and B-factor: --EPA_oversmp, the band --resL to 2 apix + 0.1, the
// threshold of 20 Angstrom, --estimate_B and --B_resL..--B_resH.
ResolutionSettings resolution_settings(const QUIB_Para& para);

// The diagnosis image: the box, the simulated CTF with --ctfout_bfac in --ctfout_resL..
// --ctfout_resH, --resH and --plot_res_ring.
DiagnosisSettings diagnosis_settings(const QUIB_Para& para);
