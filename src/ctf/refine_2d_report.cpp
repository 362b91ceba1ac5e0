#include "ctf/refine_2d_report.h"

#include <cstdarg>

namespace {

bool logging(const CTF_REF_CONTROL& control, FILE* log) { return control.write_to_log && log; }

__attribute__((format(printf, 3, 4))) void log_printf(const CTF_REF_CONTROL& control, FILE* log, const char* format,
                                                      ...) {
  if (!logging(control, log)) return;
  va_list args;
  va_start(args, format);
  vfprintf(log, format, args);
  va_end(args);
}

}  // namespace

void refine_log_start(const CTF_REF_CONTROL& control, FILE* log) {
  log_printf(control, log, "%s",
             "* *************************************   2D   REFINE    "
             "************************************************************ *\n");
}

void refine_log_column_header(const CTF_REF_CONTROL& control, FILE* log) {
  log_printf(control, log, "%s", "          defocus_U   defocus_V   angle   phase_shift    CCC         \n");
}

void refine_log_cycle(const CTF_REF_CONTROL& control, FILE* log, int cycle) {
  log_printf(control, log, "Cycle: %02d\n", cycle);
}

void refine_log_step(const CTF_REF_CONTROL& control, FILE* log, RefineStep step, const CtfModel& model, float score) {
  const float U = model.defocus_u, V = model.defocus_v, A = model.angle, P = model.phase_shift;
  switch (step) {
    case RefineStep::Angle:
    case RefineStep::Astigmatism:
      log_printf(control, log, "          %10.2f %10.2f %10.2f %10.2f %10.6f \n", U, V, A, P, score);
      break;
    case RefineStep::MeanDefocus:
      log_printf(control, log, "          %10.2f %10.2f %10.2f  %10.2f %10.6f \n", U, V, A, P, score);
      break;
    case RefineStep::PhaseShift:
      log_printf(control, log, "          %10.2f %10.2f %10.2f %10.2f %10.6f\n", U, V, A, P, score);
      break;
  }
}

void refine_log_last_cycle(const CTF_REF_CONTROL& control, FILE* log) {
  log_printf(control, log, "%s",
             "**************************************   LAST CYCLE    "
             "************************************************************ *\n");
}

void refine_report_final(const CTF_REF_CONTROL& control, FILE* log, const CtfModel& model, float ccc) {
  const float U = model.defocus_u, V = model.defocus_v, A = model.angle, P = model.phase_shift;
  const char* screen_end = control.high_resolution_pass ? "  Final Values (Hres refine)\n\n" : "  Final Values\n\n";
  if (control.refine_phase_shift) {
    log_printf(control, log, "\n   Defocus_U   Defocus_V       Angle    Phase_shift     CCC\n");
    log_printf(control, log, "%12.2f%12.2f%12.2f%12.2f%12.6f  Final Values\n\n", U, V, A, P, ccc);
    if (control.print_to_screen)
      printf("\n   Defocus_U   Defocus_V       Angle      Phase_shift     CCC%12.2f%12.2f%12.2f%12.2f%16.6f%s", U, V, A,
             P, ccc, screen_end);
  } else {
    log_printf(control, log, "\n   Defocus_U   Defocus_V       Angle        CCC\n");
    log_printf(control, log, "%12.2f%12.2f%12.2f%12.6f  Final Values\n\n", U, V, A, ccc);
    if (control.print_to_screen)
      printf("\n   Defocus_U   Defocus_V       Angle          CCC%12.2f%12.2f%12.2f%12.6f%s", U, V, A, ccc, screen_end);
  }
}

void refine_report_too_many_cycles(FILE* log) {
  printf("\033[43mWARNING: Too man refinement cycles, Quib might have failed on this micrograph!\033[m\n");
  if (log) fprintf(log, "WARNING: Too man refinement cycles, Quib might have failed on this micrograph!\n");
}
