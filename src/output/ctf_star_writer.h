// The run's CTF STAR file: its header and one row of CTF parameters per micrograph, in the column
// names RELION reads. The RELION 3.0 layout is one table of 12 columns (13 with the phase shift);
// the layout of RELION 3.1 and later puts the optics in a table of their own (data_optics, one
// group) and the micrographs in data_micrographs.
#pragma once

#include <cstdio>
#include <string>

#include "core/ctf_records.h"

// "\ndata_\n\nloop_\n" and the labels of columns 1 to 11. Returns 0.
int log_ctfstar_head(FILE* stream);
// The header with "_rlnFinalResolution #12". Returns 0.
int log_ctfstar_ex_head(FILE* stream);
// The header with "_rlnCtfMaxResolution #12" and "_rlnPhaseShift #13". Returns 0.
int log_ctfstar_ex_head_phase_shift(FILE* stream);

// One micrograph's row: the micrograph and its diagnosis image, the fitted model, the run's optics
// (voltage, Cs, amplitude contrast), the magnification and the detector pixel size dstep, the
// figure of merit and the resolution limit.
struct CtfStarRow {
  const char* micrograph;
  const char* ctf_image;
  CtfModel model;
  Optics optics;
  float magnification;
  float dstep;
  float fom;
  float resolution;
};

// The row: the micrograph, its diagnosis image with ":mrc", and ten values. Returns 0.
int log_ctfstar_ex_oneline(FILE* stream, const CtfStarRow& row);
// The same with the phase shift as the last (13th) column. Returns 0.
int log_ctfstar_ex_oneline_phase_shift(FILE* stream, const CtfStarRow& row);

enum class CtfStarLayout { kRelion30, kRelion31 };

// The header and a row as text, with the phase-shift column or without it. The RELION 3.1 header
// holds the optics group of the run's optics.
std::string ctfstar_head_text(bool phase_shift, CtfStarLayout layout, const Optics& optics);
std::string ctfstar_row_text(const CtfStarRow& row, bool phase_shift, CtfStarLayout layout);
