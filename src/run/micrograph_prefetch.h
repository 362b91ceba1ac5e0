// Reading the run's next micrograph on a second thread while the current one is worked on, so that
// the time a file takes to come off the disk overlaps the computation. The prefetched pixels are
// used only for the very file the ordinary path opens afterwards: same file, size, modification
// time and header; anything else (a file replaced meanwhile, a read that came up short) falls
// back to the ordinary read, which reports what is wrong. MRC and TIFF files are both read ahead
// (a TIFF file's decompression is then off the main thread too). The reader runs at idle
// priority; when the run needs the file and the reader has stopped getting on (other programs
// keep the cores busy, or the file is stuck), the reader is told to stop and the run reads the file
// itself, so a busy machine never holds a run up behind its own read-ahead. The prefetch itself
// prints nothing.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "backend/memory.h"
#include "io/mrc_header.h"

class MicrographPrefetch {
 public:
  // Room for `values` pixels (nx * ny * nz of the run's micrographs). Where that would take more
  // memory than a run may spare, the next file is only read into the operating system's cache,
  // and its pixels come from there in turn.
  explicit MicrographPrefetch(size_t values);
  ~MicrographPrefetch();
  MicrographPrefetch(const MicrographPrefetch&) = delete;
  MicrographPrefetch& operator=(const MicrographPrefetch&) = delete;

  // Starts reading the file `path` once the previous read has ended. A previous read still going on
  // is told to stop, and while it winds down `path` is not read ahead (the run reads it the
  // ordinary way).
  void start(const std::string& path);
  // Waits for the read of `path` while the reader gets on; when it read the data `head` describes
  // from the file open as `opened`, unchanged since, exchanges the pixels with `pixels` (of the
  // same size) and returns true. A reader that makes no progress for a while is told to stop.
  bool take(const std::string& path, FILE* opened, const MRC_HEAD& head, HostBuffer<float>& pixels);

 private:
  void read(const std::string& path);
  bool read_mrc(FILE* file);
  bool read_tiff(FILE* file);
  bool stepped();
  void finish();
  bool finished();
  bool finishes_while_progressing();

  HostBuffer<float> pixels_;
  std::thread reader_;
  std::string path_;  // the file being read ahead and not yet taken; the reader has its own copy
  MRC_HEAD head_{};
  struct stat identity_ {};
  bool complete_ = false;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t steps_ = 0;       // chunks or pages read so far, under mutex_
  bool finished_ = false;  // the reader has ended, under mutex_
};
