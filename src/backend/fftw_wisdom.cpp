#include "backend/fftw_wisdom.h"

#if !QUIB_CUDA

#include <fcntl.h>
#include <fftw3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kMeasureSecondsPerPlan = 5.0;

// FFTW's planner is not thread-safe; plans are made on the host thread only, but the library is
// told so it stays safe if that ever changes. Threaded plans split one large transform.
void init_fftw() {
  static const bool initialised = [] {
    fftwf_make_planner_thread_safe();
    fftwf_init_threads();
    return true;
  }();
  (void)initialised;
}

std::mutex& planning_mutex() {
  static std::mutex mutex;
  return mutex;
}

// The wisdom file QUIB_FFT_WISDOM asks for, or empty for estimated plans.
std::string wisdom_file_name() {
  const char* chosen = getenv("QUIB_FFT_WISDOM");
  if (chosen && *chosen) return strcmp(chosen, "estimate") == 0 ? std::string() : std::string(chosen);
  const char* cache = getenv("XDG_CACHE_HOME");
  if (cache && *cache) return std::string(cache) + "/quib/fftw_wisdom";
  const char* home = getenv("HOME");
  if (home && *home) return std::string(home) + "/.cache/quib/fftw_wisdom";
  return std::string();
}

// Creates the folders above the file, as mkdir -p would; failures show when the lock is opened.
void make_parent_folders(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1))
    mkdir(file.substr(0, slash).c_str(), 0755);
}

// The file's lock, held until the descriptor closes; an invalid descriptor when the folder cannot
// be written.
FileDescriptor lock_wisdom(const std::string& file) {
  make_parent_folders(file);
  FileDescriptor lock(open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!lock) return lock;
  while (flock(lock.get(), LOCK_EX) != 0)
    if (errno != EINTR) return FileDescriptor();
  return lock;
}

// Writes the process's wisdom beside the file and renames it over the file, so that a reader never
// sees half of it.
bool save_wisdom(const std::string& file) {
  const std::string temporary = file + ".new." + std::to_string(getpid());
  if (!fftwf_export_wisdom_to_filename(temporary.c_str())) return false;
  if (rename(temporary.c_str(), file.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

}  // namespace

FftwWisdomScope::FftwWisdomScope() : process_lock_(planning_mutex()), file_(wisdom_file_name()) {
  init_fftw();
  if (file_.empty()) return;
  file_lock_ = lock_wisdom(file_);
  if (!file_lock_) {
    static bool told = false;
    if (!told)
      printf("Note: FFT plans are estimated, not measured: cannot write %s.lock (%s).\n", file_.c_str(),
             strerror(errno));
    told = true;
    return;
  }
  measure_ = true;
  // A missing or unreadable file leaves the wisdom as it was: the sizes are measured anew.
  fftwf_import_wisdom_from_filename(file_.c_str());
}

FftwWisdomScope::~FftwWisdomScope() {
  if (measured_ && !save_wisdom(file_))
    printf("Note: the measured FFT plans could not be kept in %s (%s); later runs measure again.\n", file_.c_str(),
           strerror(errno));
}

fftwf_plan FftwWisdomScope::plan(int nx, int ny, const std::function<fftwf_plan(unsigned flags)>& make) {
  if (!measure_) return make(FFTW_ESTIMATE);
  if (fftwf_plan kept = make(FFTW_MEASURE | FFTW_WISDOM_ONLY)) return kept;
  announce_measuring(nx, ny);
  // Sizes with large prime factors (a K3's 4092 = 4 x 3 x 11 x 31) can take FFTW many minutes to
  // measure; past the limit it keeps the best plan found so far, which the wisdom then fixes.
  fftwf_set_timelimit(kMeasureSecondsPerPlan);
  return make(FFTW_MEASURE);
}

void FftwWisdomScope::announce_measuring(int nx, int ny) {
  if (!measured_)
    printf("Measuring the fastest FFT for %d x %d images; done once on this machine, kept in %s.\n", nx, ny,
           file_.c_str());
  fflush(stdout);
  measured_ = true;
}

#endif
