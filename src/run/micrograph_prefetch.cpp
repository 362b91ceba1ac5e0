#include "run/micrograph_prefetch.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

#include "core/file_ptr.h"
#include "io/mrc_read.h"
#include "io/tiff_read.h"
#include "io/tiff_stream.h"

namespace {

// How long the run waits for a reader that reads nothing more before it reads the file itself; a
// chunk or a page takes milliseconds when the reader has a core.
constexpr std::chrono::milliseconds kStall(100);
constexpr size_t kChunkValues = size_t(1) << 20;

// The spare buffer may take at most 1 GiB and an eighth of the machine's memory, so that a long
// movie (4096 x 4096 x 40 floats are 2.7 GB) stays within its memory budget.
bool can_spare(size_t values) {
  const long pages = sysconf(_SC_PHYS_PAGES), page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return false;
  const double memory = static_cast<double>(pages) * page_size;
  const double bytes = static_cast<double>(values) * sizeof(float);
  return bytes <= memory / 8.0 && bytes <= 1024.0 * 1024.0 * 1024.0;
}

// Reads the whole file, while told to go on, and forgets it: the operating system keeps it in its
// cache, so the ordinary read that follows no longer waits for the disk.
template <class GoOn>
void warm_cache(const std::string& path, GoOn go_on) {
  const FilePtr file(fopen(path.c_str(), "rb"));
  if (!file) return;
  std::vector<char> chunk(8 << 20);
  while (fread(chunk.data(), 1, chunk.size(), file.get()) == chunk.size() && go_on()) {
  }
}

// The reader yields to the computation: on two cores a reader thread that competes with the
// parallel loops holds up every loop whose thread it displaces, while the cores' idle moments
// (serial stretches of the computation) are enough to read the next file.
void yield_to_computation() {
  const sched_param none{};
  pthread_setschedparam(pthread_self(), SCHED_IDLE, &none);
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

MicrographPrefetch::MicrographPrefetch(size_t values) {
  if (values > 0 && can_spare(values)) pixels_ = HostBuffer<float>(values);
}

MicrographPrefetch::~MicrographPrefetch() {
  stop_ = true;
  if (reader_.joinable()) reader_.join();
}

void MicrographPrefetch::start(const std::string& path) {
  path_.clear();
  if (reader_.joinable()) {
    // A read still going on is of a file the run no longer asks for.
    stop_ = true;
    if (!finished()) return;
    reader_.join();
  }
  path_ = path;
  complete_ = false;
  stop_ = false;
  steps_ = 0;
  finished_ = false;
  reader_ = std::thread([this, path] {
    yield_to_computation();
    if (pixels_.get())
      read(path);
    else
      warm_cache(path, [this] { return stepped(); });
    finish();
  });
}

// A chunk or page more has been read; whether to read on.
bool MicrographPrefetch::stepped() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++steps_;
  }
  changed_.notify_all();
  return !stop_;
}

void MicrographPrefetch::finish() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

bool MicrographPrefetch::finished() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}

bool MicrographPrefetch::finishes_while_progressing() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!finished_) {
    const size_t seen = steps_;
    if (!changed_.wait_for(lock, kStall, [&] { return finished_ || steps_ != seen; })) return false;
  }
  return true;
}

// Header and pixels read quietly: the ordinary path reads the header again and says what is wrong
// with it.
bool MicrographPrefetch::read_mrc(FILE* file) {
  if (mrc_read_head_unstamped(file, &head_) != 0) return false;
  if (!mrc_head_is_stamped(&head_)) memcpy(head_.map, "MAP ", 4);
  const MRC_HEAD& h = head_;
  if (!mrc_mode_readable(h.mode) || h.nx < 1 || h.ny < 1 || h.nz < 1 || h.next < 0) return false;
  const size_t count = static_cast<size_t>(h.nx) * static_cast<size_t>(h.ny) * static_cast<size_t>(h.nz);
  if (count != pixels_.size()) return false;
  for (size_t first = 0; first < count; first += kChunkValues) {
    const size_t chunk = std::min(kChunkValues, count - first);
    if (mrc_read_elements_at(file, &head_, static_cast<int64_t>(first), chunk, pixels_.get() + first) != chunk)
      return false;
    if (!stepped()) return false;
  }
  return true;
}

bool MicrographPrefetch::read_tiff(FILE* file) {
  if (!tiff_read_head(file, &head_).empty() || mrc_voxels(&head_) != pixels_.size()) return false;
  return tiff_read_all(file, &head_, pixels_.get(), [this] { return stepped(); }).empty();
}

void MicrographPrefetch::read(const std::string& path) {
  const FilePtr file(fopen(path.c_str(), "rb"));
  if (!file || fstat(fileno(file.get()), &identity_) != 0) return;
  if (!(is_tiff_stream(file.get()) ? read_tiff(file.get()) : read_mrc(file.get()))) return;
  // A file written to while it was read is not the file that was read.
  struct stat after;
  complete_ = fstat(fileno(file.get()), &after) == 0 && same_file(identity_, after);
}

bool MicrographPrefetch::take(const std::string& path, FILE* opened, const MRC_HEAD& head, HostBuffer<float>& pixels) {
  if (path.empty() || path != path_) return false;
  path_.clear();
  // The caller reads the file itself now; the rest of a read that stalled, or that only brought the
  // file into the system's cache, would repeat it.
  if (!pixels_.get() || pixels.size() != pixels_.size() || !finishes_while_progressing()) {
    stop_ = true;
    return false;
  }
  reader_.join();
  if (!complete_) return false;
  complete_ = false;
  struct stat now;
  if (fstat(fileno(opened), &now) != 0 || !same_file(now, identity_)) return false;
  if (memcmp(&head, &head_, sizeof head) != 0) return false;
  std::swap(pixels, pixels_);
  return true;
}
