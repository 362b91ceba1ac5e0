// Reading the run's next micrograph on a second thread while the current one is worked on, so that
// the time a file takes to come off the disk overlaps the computation. The prefetched pixels are
// used only for the very file the ordinary path opens afterwards: same file, size, modification
// time and header; anything else (a file replaced meanwhile, a read that came up short) falls
// back to the ordinary read, which reports what is wrong. MRC and TIFF files are both read ahead
// (a TIFF file's decompression is then off the main thread too). The prefetch itself prints
// nothing.
#pragma once

#include <sys/stat.h>

#include <cstdio>
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

  // Starts reading the file `path` (after the previous read, if any, has ended).
  void start(const std::string& path);
  // Waits for the read of `path`; when it read the data `head` describes from the file open as
  // `opened`, unchanged since, exchanges the pixels with `pixels` (of the same size) and returns
  // true.
  bool take(const std::string& path, FILE* opened, const MRC_HEAD& head, HostBuffer<float>& pixels);

 private:
  void read();
  bool read_mrc(FILE* file);
  bool read_tiff(FILE* file);
  void wait();

  HostBuffer<float> pixels_;
  std::thread reader_;
  std::string path_;
  MRC_HEAD head_{};
  struct stat identity_ {};
  bool complete_ = false;
};
