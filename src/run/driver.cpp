#include "run/driver.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
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
#include "run/micrograph_watch.h"
#include "run/options.h"
#include "run/param_log.h"
#include "run/progress_line.h"
#include "run/quib_para.h"
#include "run/quiet_output.h"
#include "run/resume.h"
#include "run/run_buffers.h"
#include "run/run_summary.h"
#include "run/stage_settings.h"
#include "run/stage_timer.h"
#include "run/stop_signals.h"
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
  bool sized = false;                            // the buffers are sized from the first usable micrograph
  std::unique_ptr<MicrographWatch> watch;        // a live run's pattern; null for a fixed list
  // With a resumed STAR table: the micrographs whose rows it kept, for micrographs found later.
  bool resumed_table = false;
  std::set<std::string> kept_rows;
};

MicrographPlan plan_of(const QUIB_Para& p, int i) {
  MicrographPlan m;
  m.outputs = micrograph_outputs(p.fnames[i], p);
  m.unusable = unusable_name_reason(p.fnames[i], m.outputs);
  m.done = m.unusable.empty() && p.do_unfinished && is_file_ctf_done(m.outputs.log.c_str());
  return m;
}

void plan_micrographs(Run& run) {
  const QUIB_Para& p = run.para;
  run.summary.listed = p.nfiles;
  for (int i = 0; i < p.nfiles; ++i) run.plan.push_back(plan_of(p, i));
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

// Sizes the run from the first micrograph from `from` on that can be processed: readable, undamaged
// and at least a box wide. False when there is none.
bool size_run_from_first_micrograph(Run& run, int from) {
  QUIB_Para& p = run.para;
  for (int start = from; start < p.nfiles; ++start) {
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
  run.sized = true;
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
    if (again.count(row_micrograph(row)) == 0) {
      kept.push_back(row);
      run.kept_rows.insert(row_micrograph(row));
    }
  run.resumed_table = true;
  start_results_table(run.star, head, kept);
}

void end_log(File& log, const std::string& name) {
  fprintf(log.get(), "Processing done successfully.\n");
  const bool failed = fflush(log.get()) != 0 || ferror(log.get()) != 0;
  if (fclose(log.release()) != 0 || failed) QUIB_FATAL_WRITE_FAILED("quib", name.c_str());
}

// Takes micrograph i through every stage. Returns "" when it finished (now, with its CTF in *result,
// or in the run this one resumes, leaving *result alone), otherwise why it was skipped.
std::string process_micrograph(Run& run, int i, CTF_INFO* result) {
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
                                             run.buffers, run.star.fd ? &run.star : nullptr, result);
  if (!unfitted.empty()) return unfitted;

  printf("Processing done successfully.\n");
  end_log(log, plan.outputs.log);
  quib_put_rule('-', 127);
  printf("\n");
  return "";
}

// Keeps every file that processing the micrograph writes, and its particle file, from being taken
// as a micrograph of a live run.
void exclude_files_of(Run& run, const char* name) {
  for (const WrittenFile& file : micrograph_written_files(name, run.para)) run.watch->exclude(file.path);
  if (run.para.do_local_refine) run.watch->exclude(local_refine_files(name, run.para).box);
}

// The files matching a live run's pattern that it has not seen, less the outputs of any of them
// (the phase-flipped micrograph of an earlier run matches "*.mrc" too).
std::vector<std::string> new_micrographs(Run& run) {
  const std::vector<std::string> found = run.watch->new_matches();
  for (const std::string& name : found) exclude_files_of(run, name.c_str());
  std::vector<std::string> taken;
  for (const std::string& name : found) {
    if (run.watch->is_excluded(name)) continue;
    run.watch->add_known(name);
    if (name.size() < static_cast<size_t>(QUIB_TEXT_SIZE))
      taken.push_back(name);
    else
      printf("Warning: a matching file name of %zu characters is longer than %d and is left out: %.64s...\n",
             name.size(), QUIB_TEXT_SIZE - 1, name.c_str());
  }
  return taken;
}

void append_micrograph(QUIB_Para& p, const std::string& name) {
  quib_append_micrograph(&p, name.c_str(), CTF_INIT{});
  p.nfiles_search += 1;
}

// Takes the micrographs that match the pattern when the run begins, before the run checks its
// names and opens its STAR file, and sets up the clean stop on a signal.
void start_watch(Run& run) {
  QUIB_Para& p = run.para;
  run.watch = std::make_unique<MicrographWatch>(p.watch);
  if (!is_str_null(p.ctfstar)) run.watch->exclude(p.ctfstar);
  if (!is_str_null(p.gain)) run.watch->exclude(p.gain);
  for (int i = 0; i < p.nfiles; ++i) {
    run.watch->add_known(p.fnames[i]);
    exclude_files_of(run, p.fnames[i]);
  }
  for (const std::string& name : new_micrographs(run)) append_micrograph(p, name);
  stop_on_signals();
}

// A micrograph found while the run goes on, planned as the first ones were: it is finished when its
// log says so and, with a resumed table, the table kept its row.
void add_found_micrograph(Run& run, const std::string& name) {
  QUIB_Para& p = run.para;
  append_micrograph(p, name);
  MicrographPlan m = plan_of(p, p.nfiles - 1);
  m.done = m.done && (!run.resumed_table || run.kept_rows.count(name) > 0);
  for (const WrittenFile& file : micrograph_written_files(name.c_str(), p))
    if (m.unusable.empty() && run.watch->is_known(file.path))
      m.unusable = "its " + std::string(file.what) + " would overwrite the micrograph " + file.path + " found earlier";
  run.plan.push_back(m);
}

// Looks for new micrographs once a second until some are found (true), or until a stop signal or
// --watch_idle minutes without a new file end the run (false, with why in *ended).
bool wait_for_new_micrographs(Run& run, std::string* ended) {
  const QUIB_Para& p = run.para;
  const auto idle_since = std::chrono::steady_clock::now();
  bool told = false;
  while (!stop_requested()) {
    const std::vector<std::string> found = new_micrographs(run);
    for (const std::string& name : found) add_found_micrograph(run, name);
    if (!found.empty()) return true;
    const double idle_minutes =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - idle_since).count() / 60.0;
    if (p.watch_idle > 0.0f && idle_minutes >= p.watch_idle) {
      char minutes[32];
      snprintf(minutes, sizeof minutes, "%g", p.watch_idle);
      *ended = "no new file for " + std::string(minutes) + " minutes";
      return false;
    }
    if (!told) printf("Waiting for new files matching %s ...\n", p.watch);
    told = true;
    fflush(stdout);
    sleep_unless_stopped(1.0);
  }
  *ended = std::string("stopped by ") + stop_signal_name();
  return false;
}

// Waits until a live run's micrograph i has finished arriving; false when a stop signal comes first.
bool wait_until_settled(Run& run, int i) {
  while (!run.watch->settled(run.para.fnames[i])) {
    sleep_unless_stopped(0.25);
    if (stop_requested()) return false;
  }
  return true;
}

// Processes micrograph i, notes what became of it and prints its progress line.
void process_and_report(Run& run, int i, RunProgress& progress) {
  const auto start = std::chrono::steady_clock::now();
  CTF_INFO ctf;
  ctf.resolution = -1.0f;  // stays so for a micrograph finished in an earlier run
  const std::string skipped = process_micrograph(run, i, &ctf);
  end_run_on_device_failure();
  if (skipped.empty())
    ++run.summary.finished;
  else
    note_skipped(run.summary, run.para.fnames[i], skipped);
  const ProgressResult result{ctf.defocus_u, ctf.defocus_v, ctf.angle, ctf.resolution};
  const bool fitted = skipped.empty() && ctf.resolution >= 0.0f;
  const std::string why = skipped.empty() ? "finished in an earlier run" : skipped;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("%s\n", progress_line(progress, run.para.fnames[i], fitted ? &result : nullptr, why, seconds).c_str());
}

// Processes the listed micrographs in order; a live run then waits for new ones and goes on until a
// stop signal or --watch_idle ends it. The summary counts the micrographs that were taken up.
void process_micrographs(Run& run) {
  QUIB_Para& p = run.para;
  RunProgress progress;
  int next = 0;
  std::string ended;
  for (;;) {
    progress.total = p.nfiles;
    for (; next < p.nfiles && !stop_requested(); ++next) {
      if (run.watch && !wait_until_settled(run, next)) break;
      if (run.watch && !run.sized) size_run_from_first_micrograph(run, next);
      process_and_report(run, next, progress);
    }
    if (!run.watch || !wait_for_new_micrographs(run, &ended)) break;
  }
  if (!run.watch) return;
  run.summary.listed = next;
  printf("Watch of %s ended: %s.", p.watch, ended.c_str());
  if (next < p.nfiles)
    printf(" %d micrograph(s) found but not processed; a restarted watch takes them up.", p.nfiles - next);
  printf("\n");
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
  if (run.para.quiet) keep_only_essential_output();
  if (run.para.seed_set) quib_set_fixed_seed(run.para.seed);
  if (!is_str_null(run.para.watch)) start_watch(run);
  refuse_outputs_over_inputs(run.para);
  if (!is_str_null(run.para.gain)) run.gain = load_gain_reference(run.para.gain);
  plan_micrographs(run);
  open_star_file(run);
  select_device(run.para.gid);
  // A live run is sized when its first micrograph has finished arriving.
  if (!run.watch && !size_run_from_first_micrograph(run, 0))
    printf("None of the %d listed micrographs can be processed; each is listed below with the reason.\n",
           run.para.nfiles);
  Quib_put_parameters(argc, argv, &run.para);
  if (run.watch)
    printf("Watching %s: new files are processed once written; SIGINT or SIGTERM stops the run cleanly.\n",
           run.para.watch);
  preparation.stop();

  process_micrographs(run);
  return finish_run(run, total);
}
