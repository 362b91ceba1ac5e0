// How the CPU backend chooses its FFTW plans. Measured plans run the large transforms 1.5-3 times
// faster than estimated ones, but measuring takes seconds per size and may choose differently
// from one attempt to the next, which would change the last bits of results. So each size is
// measured once per machine and the choice kept in a wisdom file that every later run reuses:
// results stay the same from run to run.
//
// QUIB_FFT_WISDOM names the file; unset, it is $XDG_CACHE_HOME/quib/fftw_wisdom (or
// ~/.cache/quib/fftw_wisdom); "estimate" makes every plan by FFTW's estimate and keeps no file.
// Where the file cannot be written, plans are estimated, with a note.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "core/file_ptr.h"

struct fftwf_plan_s;

// Holds the wisdom file while plans are made: a process that is measuring makes others wait, so
// that one size is measured once. Entry reads what the file holds; exit saves what was added.
class FftwWisdomScope {
 public:
  FftwWisdomScope();
  ~FftwWisdomScope();
  FftwWisdomScope(const FftwWisdomScope&) = delete;
  FftwWisdomScope& operator=(const FftwWisdomScope&) = delete;

  // A plan from make(FFTW planner flags): where the scope measures, the kept wisdom's plan when the
  // file holds one, else one measured now (which overwrites the planning arrays) and announced as
  // measuring nx x ny images; otherwise FFTW's estimate, the same in every run. Null when FFTW
  // cannot plan.
  fftwf_plan_s* plan(int nx, int ny, const std::function<fftwf_plan_s*(unsigned flags)>& make);

 private:
  // Called before a size is measured (the file had no plan for it): says why this run pauses.
  void announce_measuring(int nx, int ny);

  std::unique_lock<std::mutex> process_lock_;
  FileDescriptor file_lock_;  // flock'ed; closing it releases the lock
  bool measure_ = false;
  bool measured_ = false;
  std::string file_;
};
