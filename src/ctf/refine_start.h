// The starting point and the initial steps of a micrograph's 2D refinement: the user's CTF values
// when they are to be refined, else a guess around the 1D search's defocus.
#pragma once

struct QUIB_Para;

// Three cases, the first that applies wins:
// 1. --refine_input_ctf, no input CTF STAR file, one micrograph: the --ps_init, --defU_init,
//    --defV_init, --defA_init, --B_init values with the --*_err steps (defocus step the mean of
//    --defU_err and --defV_err).
// 2. --refine_input_ctf with an input CTF STAR file that gives micrograph `index` values: those,
//    with Perr = --phase_shift_S and the other steps as in 1; the values are printed.
// 3. Otherwise, around the 1D defocus D: U = D - astm/2, V = D + astm/2, a random angle in [0, 30)
//    (after quib_reseed), B = --B_init, steps --defS and 30 degrees, Berr = --B_err; P and Perr
//    are left as they are.
// Returns the case that applied.
int quib_set_init_defUVA_for_2D_refine(float& P, float& U, float& V, float& A, float& B, float& Perr, float& Derr,
                                       float& Aerr, float& Berr, const QUIB_Para* para, int index, float D);

// Whether case 1 or 2 applies: the user's values of micrograph `index` are refined.
bool refines_input_ctf(const QUIB_Para* para, int index);
