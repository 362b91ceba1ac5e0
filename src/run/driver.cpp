#include "run/driver.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "backend/device.h"
#include "backend/workspace.h"
#include "core/report.h"
#include "core/text_lines.h"
#include "ctf/random_seed.h"
#include "io/micrograph_file.h"
#include "io/mrc_header.h"
#include "io/mrc_name.h"
#include "output/ctf_star_writer.h"
#include "output/results_star.h"
#include "run/checks.h"
#include "run/ctf_stages.h"
#include "run/echo.h"
#include "run/file_access.h"
#include "run/gain_reference.h"
#include "run/help.h"
#include "run/keywords.h"
#include "run/micrograph_names.h"
#include "run/micrograph_prefetch.h"
#include "run/micrograph_spectrum.h"
#include "run/options.h"
#include "run/param_log.h"
#include "run/quib_para.h"
#include "run/resume.h"
#include "run/run_buffers.h"
#include "run/run_summary.h"
#include "run/stage_settings.h"
#include "run/stage_timer.h"
#include "run/tips.h"

namespace {

using File = FilePtr;

// The smallest micrograph side that leaves a usable box.
constexpr int kSmallestSide = 128;

// What the run knows of a listed micrograph before it is processed.
struct MicrographPlan {
  MicrographOutputs outputs;
  std::string unusable;  // why it cannot be processed under its name; empty when it can
  bool done = false;     // finished by an earlier run that this one resumes
};

struct Run {
  QUIB_Para para;
  MrcHeadPtr first_head = mrc_new_head();  // the first usable micrograph's, never changed
  MrcHeadPtr head = mrc_new_head();        // the current micrograph's
  RunGeometry geometry;
  RunBuffers buffers;
  std::vector<MicrographPlan> plan;
  ResultsStar star;
  RunSummary summary;
  std::unique_ptr<MicrographPrefetch> prefetch;  // reads the next micrograph during the current one
  GainReference gain;                            // read before the run is sized; then moved to buffers.gain
};

void plan_micrographs(Run& run) {
  const QUIB_Para& p = run.para;
  run.plan.resize(p.nfiles);
  run.summary.listed = p.nfiles;
  for (int i = 0; i < p.nfiles; ++i) {
    MicrographPlan& m = run.plan[i];
    m.outputs = micrograph_outputs(p.fnames[i], p);
    m.unusable = unusable_name_reason(p.fnames[i], m.outputs);
    m.done = m.unusable.empty() && p.do_unfinished && is_file_ctf_done(m.outputs.log.c_str());
  }
}

std::string smaller_than_a_box(const MRC_HEAD* head) {
  if (std::min(head->nx, head->ny) >= kSmallestSide) return "";
  return "it is " + std::to_string(head->nx) + " x " + std::to_string(head->ny) +
         " pixels, smaller than the smallest usable box of " + std::to_string(kSmallestSide);
}

// Why the micrograph cannot share the run's buffers, or "" when its header matches the first's.
std::string header_difference(const Run& run, const MRC_HEAD* head) {
  const MRC_HEAD* first = run.first_head.get();
  if (head->nx == first->nx && head->ny == first->ny && head->nz == first->nz && head->mode == first->mode) return "";
  auto shape = [](const MRC_HEAD* h) {
    return std::to_string(h->nx) + " x " + std::to_string(h->ny) + " x " + std::to_string(h->nz) + " in mode " +
           std::to_string(h->mode) + " (" + mrc_get_head_mode(h) + ")";
  };
  return "it is " + shape(head) + ", but the run's first micrograph " + run.para.first_fname + " is " + shape(first) +
         "; process micrographs of another size or format in a separate run";
}

// Sizes the run from the first micrograph that can be processed: readable, undamaged and at least
// a box wide. False when there is none.
bool size_run_from_first_micrograph(Run& run) {
  QUIB_Para& p = run.para;
  for (int start = 0; start < p.nfiles; ++start) {
    FILE* stream = nullptr;
    const int found = check_access_openf_1st(p.fnames + start, p.nfiles - start, p.first_fname, &stream);
    if (found < 0) return false;
    start += found;
    File first(stream);
    if (!run.plan[start].unusable.empty()) continue;
    const std::string unreadable = micrograph_read_head(first.get(), run.first_head.get());
    if (unreadable.empty() && smaller_than_a_box(run.first_head.get()).empty()) break;
    const MicrographFormat format = micrograph_format(first.get());
    // The MRC readers have warned already; a TIFF file's reason is told here.
    const std::string why = format == MicrographFormat::kTiff && !unreadable.empty() ? " (" + unreadable + ")" : "";
    printf("Warning: %s is not a usable %s file%s; the next micrograph is tried.\n", p.fnames[start],
           micrograph_format_name(format), why.c_str());
  }
  *run.head = *run.first_head;
  check_boxsizes(run.first_head.get(), &p.boxsize, &p.convsize, &p.local_radius, &p.local_boxsize);
  if (p.do_local_refine) quib_check_local_grid(&p);
  run.geometry = run_geometry(run.first_head.get(), p.boxsize, p.overlap);
  run.buffers = allocate_run_buffers(run.geometry);
  if (run.gain.values.size() > 0) {
    check_gain_size(run.gain, p.gain, run.geometry.nx, run.geometry.ny, p.first_fname);
    run.buffers.gain = std::move(run.gain.values);
  }
  run.prefetch = std::make_unique<MicrographPrefetch>(run.geometry.voxels);
  return true;
}

// Starts reading the first micrograph after i that will be processed.
void prefetch_next(Run& run, int i) {
  for (int j = i + 1; j < run.para.nfiles; ++j)
    if (run.plan[j].unusable.empty() && !run.plan[j].done) {
      run.prefetch->start(run.para.fnames[j]);
      return;
    }
}

[[noreturn]] void refuse_star_file(const char* text, const char* path) {
  printf(text, path);
  printf(" name another file with --ctfstar.\n");
  QUIB_FATAL("quib", "The CTF STAR file cannot be used");
}

// Opens and locks the run's STAR file. A resumed run keeps the earlier rows of the micrographs that
// it does not process again; a micrograph whose log is complete but whose row is missing (a later
// run that was not resumed replaced the table) is processed again, so that the table ends with a
// row for every finished micrograph.
void open_star_file(Run& run) {
  const QUIB_Para& p = run.para;
  if (is_str_null(p.ctfstar)) return;
  switch (open_results_star(run.star, p.ctfstar)) {
    case ResultsStarOpen::Ok:
      break;
    case ResultsStarOpen::CannotOpen:
      QUIB_FATAL_CANNOT_WRITE("quib", p.ctfstar);
    case ResultsStarOpen::Locked:
      refuse_star_file("Another quib run is writing %s: wait for it to end, or", p.ctfstar);
  }
  const std::string head = ctfstar_head_text(p.do_phase_shift, ctfstar_layout(p), run_optics(p));
  std::vector<std::string> rows;
  if (!p.do_unfinished) return start_results_table(run.star, head, rows);
  if (!read_earlier_rows(run.star, head, rows))
    refuse_star_file(
        "%s holds a table with other columns than this run writes (was the phase-shift search "
        "switched?): resume with the options of the earlier run, or",
        p.ctfstar);
  std::set<std::string> with_row;
  for (const std::string& row : rows) with_row.insert(row_micrograph(row));
  std::set<std::string> again;
  for (int i = 0; i < p.nfiles; ++i) {
    MicrographPlan& m = run.plan[i];
    m.done = m.done && with_row.count(p.fnames[i]) > 0;
    if (!m.done) again.insert(p.fnames[i]);
  }
  std::vector<std::string> kept;
  for (const std::string& row : rows)
    if (again.count(row_micrograph(row)) == 0) kept.push_back(row);
  start_results_table(run.star, head, kept);
}

void end_log(File& log, const std::string& name) {
  fprintf(log.get(), "Processing done successfully.\n");
  const bool failed = fflush(log.get()) != 0 || ferror(log.get()) != 0;
  if (fclose(log.release()) != 0 || failed) QUIB_FATAL_WRITE_FAILED("quib", name.c_str());
}

// Takes micrograph i through every stage. Returns "" when it finished (now or in the run this one
// resumes), otherwise why it was skipped.
std::string process_micrograph(Run& run, int i) {
  QUIB_Para& p = run.para;
  const char* name = p.fnames[i];
  const MicrographPlan& plan = run.plan[i];
  if (!plan.unusable.empty()) return plan.unusable;
  if (check_file_access(name, "FR") == -1)
    return access(name, F_OK) != 0 ? "it does not exist" : "it cannot be read (permissions)";
  if (plan.done) {
    printf("CTF parameter of \033[42m%s\033[m already determined. Automatically skipped.\n", name);
    return "";
  }
  File log(fopen(plan.outputs.log.c_str(), "w+"));
  if (!log) QUIB_FATAL_CANNOT_WRITE("quib", plan.outputs.log.c_str());
  File micrograph(fopen(name, "r"));
  if (!micrograph) return "it cannot be opened";

  const std::string unreadable = micrograph_read_head(micrograph.get(), run.head.get());
  if (!unreadable.empty())
    return std::string("it is not a readable ") + micrograph_format_name(micrograph_format(micrograph.get())) +
           " file (" + unreadable + ")";
  std::string mismatch = smaller_than_a_box(run.head.get());
  if (mismatch.empty()) mismatch = header_difference(run, run.head.get());
  if (!mismatch.empty()) return mismatch;
  Quib_fput_parameters_ctffind3(log.get(), &p, i);
  put_log_line(log.get(), "Reading file: %s\n", name);

  const ReadPixels prefetched = [&](HostBuffer<float>& pixels) {
    return run.prefetch->take(name, micrograph.get(), *run.head, pixels);
  };
  const std::string unread =
      read_micrograph_spectrum(micrograph.get(), run.head.get(), p, run.geometry, run.buffers, prefetched);
  prefetch_next(run, i);
  if (!unread.empty()) return unread;
  micrograph.reset();
  if (!has_usable_spectrum(run.geometry, run.buffers.spectrum))
    return "it has no usable power spectrum (blank, constant or damaged micrograph)";
  const std::string unfitted = determine_ctf({i, name, plan.outputs.ctf.c_str(), log.get()}, p, run.geometry,
                                             run.buffers, run.star.fd ? &run.star : nullptr);
  if (!unfitted.empty()) return unfitted;

  printf("Processing done successfully.\n");
  end_log(log, plan.outputs.log);
  quib_put_rule('-', 127);
  printf("\n");
  return "";
}

int finish_run(Run& run, StageTimer& total) {
  quib_put_rule('#', 129);
  put_run_summary(run.summary);
  const bool star_closed = close_results_star(run.star);
  total.stop();
  quib_put_rule('#', 129);
  printf("\n");
  if (!star_closed) QUIB_FATAL_WRITE_FAILED("quib", run.star.path.c_str());
  quib_put_one_random_tip();
  return run_exit_status(run.summary);
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
  refuse_outputs_over_inputs(run.para);
  if (!is_str_null(run.para.gain)) run.gain = load_gain_reference(run.para.gain);
  plan_micrographs(run);
  open_star_file(run);
  select_device(run.para.gid);
  if (!size_run_from_first_micrograph(run))
    printf("None of the %d listed micrographs can be processed; each is listed below with the reason.\n",
           run.para.nfiles);
  Quib_put_parameters(argc, argv, &run.para);
  preparation.stop();

  for (int i = 0; i < run.para.nfiles; ++i) {
    const std::string skipped = process_micrograph(run, i);
    end_run_on_device_failure();
    if (skipped.empty())
      ++run.summary.finished;
    else
      note_skipped(run.summary, run.para.fnames[i], skipped);
  }
  return finish_run(run, total);
}
