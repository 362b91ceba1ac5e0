// The lines a 2D refinement writes to its log and to the screen. Log lines are written only when
// the control's log switch is on and a log is given; screen lines only when its screen switch is on.
#pragma once

#include <cstdio>

#include "core/ctf_records.h"

// Which parameter a cycle step moved; each has its own log-line layout.
enum class RefineStep { Angle, MeanDefocus, Astigmatism, PhaseShift };

void refine_log_start(const CTF_REF_CONTROL& control, FILE* log);
void refine_log_column_header(const CTF_REF_CONTROL& control, FILE* log);
void refine_log_cycle(const CTF_REF_CONTROL& control, FILE* log, int cycle);
void refine_log_step(const CTF_REF_CONTROL& control, FILE* log, RefineStep step, const CtfModel& model, float score);
void refine_log_last_cycle(const CTF_REF_CONTROL& control, FILE* log);
// The final values: the phase shift column appears when the phase shift was refined; a
// high-resolution pass marks its screen line.
void refine_report_final(const CTF_REF_CONTROL& control, FILE* log, const CtfModel& model, float ccc);
// The warning of a refinement that ran out of cycles, on the screen and in the log (if any).
void refine_report_too_many_cycles(FILE* log);
