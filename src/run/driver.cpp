#include "run/driver.h"

#include <cstdio>
#include <memory>

#include "backend/device.h"
#include "backend/workspace.h"
#include "core/report.h"
#include "core/text_lines.h"
#include "ctf/random_seed.h"
#include "io/mrc_check.h"
#include "io/mrc_header.h"
#include "io/mrc_name.h"
#include "output/ctf_star_writer.h"
#include "run/checks.h"
#include "run/ctf_stages.h"
#include "run/echo.h"
#include "run/file_access.h"
#include "run/help.h"
#include "run/keywords.h"
#include "run/micrograph_spectrum.h"
#include "run/options.h"
#include "run/param_log.h"
#include "run/quib_para.h"
#include "run/resume.h"
#include "run/run_buffers.h"
#include "run/stage_timer.h"
#include "run/tips.h"

namespace {

using File = FilePtr;

struct Run {
  QUIB_Para para;
  MrcHeadPtr first_head = mrc_new_head();  // the first readable micrograph's, never changed
  MrcHeadPtr head = mrc_new_head();        // the current micrograph's
  RunGeometry geometry;
  RunBuffers buffers;
  File star;
};

// Reads the first readable micrograph's header, clamps the box sizes to it and sizes the buffers.
void size_run_from_first_micrograph(Run& run) {
  QUIB_Para& p = run.para;
  // A damaged file is passed over: the run is sized from the first micrograph that is usable.
  for (int start = 0;; ++start) {
    FILE* stream = nullptr;
    start += check_access_openf_1st(p.fnames + start, p.nfiles - start, p.first_fname, &stream);
    File first(stream);
    if (mrc_read_head(first.get(), run.first_head.get()) == 0 &&
        mrc_check_head_data(first.get(), run.first_head.get()) == 0)
      break;
    printf("Warning: %s is not a usable MRC file; the next micrograph is tried.\n", p.fnames[start]);
  }
  *run.head = *run.first_head;
  check_boxsizes(run.first_head.get(), &p.boxsize, &p.convsize, &p.local_radius, &p.local_boxsize);
  if (p.do_local_refine) quib_check_local_grid(&p);
  run.geometry = run_geometry(run.first_head.get(), p.boxsize, p.overlap);
  run.buffers = allocate_run_buffers(run.geometry);
}

// Stages that this version does not carry out: their switches are refused with a warning
// rather than ignored in silence.
void warn_unavailable_stages(const QUIB_Para& p) {
  const struct {
    const char* option;
    int on;
  } stages[] = {{"do_validation", p.do_validation},
                {"do_mdef_refine", p.do_mdef_refine},
                {"do_local_refine", p.do_local_refine},
                {"do_phase_flip", p.do_phase_flip}};
  for (const auto& stage : stages)
    if (stage.on) printf("Warning: --%s is not available in this version of quib and is ignored.\n", stage.option);
}

void open_star_file(Run& run) {
  const QUIB_Para& p = run.para;
  if (is_str_null(p.ctfstar)) return;
  run.star.reset(fopen(p.ctfstar, "w+"));
  if (!run.star) QUIB_FATAL_CANNOT_WRITE("quib", p.ctfstar);
  if (p.do_phase_shift)
    log_ctfstar_ex_head_phase_shift(run.star.get());
  else
    log_ctfstar_ex_head(run.star.get());
}

// Takes micrograph i through every stage; returns without the completion line when it is skipped.
void process_micrograph(Run& run, int i) {
  QUIB_Para& p = run.para;
  const char* name = p.fnames[i];
  if (check_file_access(name, "FR") == -1) return;

  char logname[QUIB_TEXT_SIZE];
  char ctfname[QUIB_TEXT_SIZE];
  // A name too long for an output name is passed over (set_outname_by_suffix has said why).
  if (set_outname_by_suffix(logname, name, p.logsuffix) != 0 || set_outname_by_suffix(ctfname, name, ".ctf") != 0)
    return;
  if (p.do_unfinished && is_file_ctf_done(logname)) {
    printf("CTF parameter of \033[42m%s\033[m already determined. Automatically skipped.\n", name);
    return;
  }
  File log(fopen(logname, "w+"));
  if (!log) QUIB_FATAL_CANNOT_WRITE("quib", logname);
  File micrograph(fopen(name, "r"));
  if (!micrograph) QUIB_FATAL_CANNOT_READ("quib", name);

  if (mrc_read_head(micrograph.get(), run.head.get()) != 0 ||
      mrc_check_head_data(micrograph.get(), run.head.get()) != 0) {
    QUIB_WARNING("quib", "Micrograph is truncated or damaged, skipped");
    return;
  }
  check_mrc_head_sizes_two(p.first_fname, name, run.first_head.get(), run.head.get());
  Quib_fput_parameters_ctffind3(log.get(), &p, i);
  put_log_line(log.get(), "Reading file: %s\n", name);

  if (read_micrograph_spectrum(micrograph.get(), run.head.get(), p, run.geometry, run.buffers) != 0) return;
  micrograph.reset();
  if (!has_usable_spectrum(run.geometry, run.buffers.spectrum)) {
    QUIB_WARNING("quib", "No usable power spectrum (blank, constant or damaged micrograph); micrograph skipped");
    return;
  }
  determine_ctf({i, name, ctfname, log.get()}, p, run.geometry, run.buffers, run.star.get());

  printf("Processing done successfully.\n");
  fprintf(log.get(), "Processing done successfully.\n");
  log.reset();
  quib_put_rule('-', 127);
  printf("\n");
}

void finish_run(Run& run, StageTimer& total) {
  quib_put_rule('#', 129);
  printf("All %d files finished successfully:\n", run.para.nfiles);
  if (run.star) {
    fprintf(run.star.get(), "\n");
    run.star.reset();
  }
  total.stop();
  quib_put_rule('#', 129);
  printf("\n");
  quib_put_one_random_tip();
}

}  // namespace

int quib_main(int argc, char** argv) {
  WorkspaceScope workspace;
  quib_put_info(argv[0]);
  if (argc < 2) {
    quib_search_refine_defocus_help(argv[0]);
    return 0;
  }
  if (is_keywd_help(argv[1])) {
    quib_search_refine_defocus_help_full(argv[0]);
    return 0;
  }
  StageTimer total("TOTAL");
  StageTimer preparation("PREPARATION");
  Run run;
  Quib_init_parameters(argc, argv, &run.para);
  Quib_get_parameters(argc, argv, &run.para);
  if (run.para.seed_set) quib_set_fixed_seed(run.para.seed);
  select_device(run.para.gid);
  size_run_from_first_micrograph(run);
  Quib_put_parameters(argc, argv, &run.para);
  warn_unavailable_stages(run.para);
  open_star_file(run);
  preparation.stop();

  for (int i = 0; i < run.para.nfiles; ++i) {
    process_micrograph(run, i);
    end_run_on_device_failure();
  }
  finish_run(run, total);
  return 0;
}
