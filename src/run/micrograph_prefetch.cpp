#include "run/micrograph_prefetch.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cstring>
#include <utility>
#include <vector>

#include "core/file_ptr.h"
#include "io/mrc_read.h"
#include "io/tiff_read.h"
#include "io/tiff_stream.h"

namespace {

// The spare buffer may take at most 1 GiB and an eighth of the machine's memory, so that a long
// movie (4096 x 4096 x 40 floats are 2.7 GB) stays within its memory budget.
bool can_spare(size_t values) {
  const long pages = sysconf(_SC_PHYS_PAGES), page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return false;
  const double memory = static_cast<double>(pages) * page_size;
  const double bytes = static_cast<double>(values) * sizeof(float);
  return bytes <= memory / 8.0 && bytes <= 1024.0 * 1024.0 * 1024.0;
}

// Reads the whole file and forgets it: the operating system keeps it in its cache, so the ordinary
// read that follows no longer waits for the disk.
void warm_cache(const std::string& path) {
  const FilePtr file(fopen(path.c_str(), "rb"));
  if (!file) return;
  std::vector<char> chunk(8 << 20);
  while (fread(chunk.data(), 1, chunk.size(), file.get()) == chunk.size()) {
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

MicrographPrefetch::~MicrographPrefetch() { wait(); }

void MicrographPrefetch::wait() {
  if (reader_.joinable()) reader_.join();
}

void MicrographPrefetch::start(const std::string& path) {
  wait();
  path_ = path;
  complete_ = false;
  if (pixels_.get())
    reader_ = std::thread([this] {
      yield_to_computation();
      read();
    });
  else
    reader_ = std::thread([path] {
      yield_to_computation();
      warm_cache(path);
    });
}

// Header and pixels read quietly: the ordinary path reads the header again and says what is wrong
// with it.
bool MicrographPrefetch::read_mrc(FILE* file) {
  if (mrc_read_head_unstamped(file, &head_) != 0) return false;
  if (!mrc_head_is_stamped(&head_)) memcpy(head_.map, "MAP ", 4);
  const MRC_HEAD& h = head_;
  if (!mrc_mode_readable(h.mode) || h.nx < 1 || h.ny < 1 || h.nz < 1 || h.next < 0) return false;
  const size_t count = static_cast<size_t>(h.nx) * static_cast<size_t>(h.ny) * static_cast<size_t>(h.nz);
  return count == pixels_.size() && mrc_read_elements_at(file, &head_, 0, count, pixels_.get()) == count;
}

bool MicrographPrefetch::read_tiff(FILE* file) {
  if (!tiff_read_head(file, &head_).empty() || mrc_voxels(&head_) != pixels_.size()) return false;
  return tiff_read_all(file, &head_, pixels_.get()).empty();
}

void MicrographPrefetch::read() {
  const FilePtr file(fopen(path_.c_str(), "rb"));
  if (!file || fstat(fileno(file.get()), &identity_) != 0) return;
  if (!(is_tiff_stream(file.get()) ? read_tiff(file.get()) : read_mrc(file.get()))) return;
  // A file written to while it was read is not the file that was read.
  struct stat after;
  complete_ = fstat(fileno(file.get()), &after) == 0 && same_file(identity_, after);
}

bool MicrographPrefetch::take(const std::string& path, FILE* opened, const MRC_HEAD& head, HostBuffer<float>& pixels) {
  wait();
  if (!complete_ || path != path_ || pixels.size() != pixels_.size()) return false;
  complete_ = false;
  struct stat now;
  if (fstat(fileno(opened), &now) != 0 || !same_file(now, identity_)) return false;
  if (memcmp(&head, &head_, sizeof head) != 0) return false;
  std::swap(pixels, pixels_);
  return true;
}
