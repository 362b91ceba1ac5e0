// The search and refine sequence of one micrograph: turns its background-subtracted log amplitude
// half spectrum into the CTF result, ab initio (1D defocus search, then 2D refinement), from the
// user's CTF with its phase shift, or by a phase-shift search; each with an optional
// high-resolution second pass.
#pragma once

#include <cstdio>

#include "core/ctf_records.h"
#include "ctf/search_sequence.h"

// ctf receives the phase shift, U, V, angle and CCC (set_PUVAC). spectrum_copy: host buffer of one
// half spectrum (box/2 + 1 by box), overwritten with measured; measured: the device half spectrum
// (read only); work: a device array of the same size, which ends holding CTF^2 E of the result
// (B = 50, band 100 Angstrom to 2 apix + 0.1) for the diagnosis image. Returns 0.
int quib_1D_search_2D_refine(CTF_INFO& ctf, const SearchRefineSettings& settings, float* spectrum_copy,
                             const float* measured, float* work, FILE* log);
