// The lines of the parameter listings ("        --name               value") and the groups of
// them that the screen echo and the micrograph logs share.
#pragma once

#include <cstdio>

struct QUIB_Para;

// Eight spaces, "--", the name padded to 19 characters, then the value text.
void fput_param_line(FILE* stream, const char* name, const char* value);
void fput_param_float(FILE* stream, const char* name, float value, int decimals = 2);
void fput_param_int(FILE* stream, const char* name, int value);

// "General options:": apix, dstep, kv, cs, ac.
void fput_general_options(FILE* stream, const QUIB_Para* para);
// "Bfactor estimation options:": estimate_B, B_resL, B_resH.
void fput_bfactor_options(FILE* stream, const QUIB_Para* para);
// "Movie options:": do_mdef_refine, mdef_ave_type, mdef_aveN, mdef_fit.
void fput_movie_options(FILE* stream, const QUIB_Para* para);
// "Correction options:  " and its do_phase_flip line.
void fput_correction_options(FILE* stream, const QUIB_Para* para);
// The ten initial CTF values and errors, then input_ctfstar (without a heading).
void fput_input_ctf_values(FILE* stream, const QUIB_Para* para);
// "Diagnosis CTF output options:": ctfout_resL, ctfout_resH, ctfout_bfac.
void fput_diagnosis_options(FILE* stream, const QUIB_Para* para);
