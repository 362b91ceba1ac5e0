#include "run/micrograph_watch.h"

#include <glob.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "core/file_ptr.h"
#include "io/micrograph_file.h"

MicrographWatch::MicrographWatch(std::string pattern) : pattern_(std::move(pattern)) {}

void MicrographWatch::exclude(const std::string& path) { excluded_.insert(identity_.of(path)); }

bool MicrographWatch::is_excluded(const std::string& path) { return excluded_.count(identity_.of(path)) > 0; }

void MicrographWatch::add_known(const std::string& name) {
  known_.insert(identity_.of(name));
  settled(name);  // the first look
}

bool MicrographWatch::is_known(const std::string& path) { return known_.count(identity_.of(path)) > 0; }

std::vector<std::string> MicrographWatch::new_matches() {
  std::vector<std::string> found;
  glob_t matches{};
  if (glob(pattern_.c_str(), GLOB_MARK, nullptr, &matches) == 0) {
    for (size_t k = 0; k < matches.gl_pathc; ++k) {
      const std::string name = matches.gl_pathv[k];
      if (name.empty() || name.back() == '/') continue;  // a folder
      const std::string id = identity_.of(name);
      if (known_.count(id) || excluded_.count(id)) continue;
      found.push_back(name);
    }
  }
  globfree(&matches);
  std::sort(found.begin(), found.end());
  return found;
}

bool MicrographWatch::settled(const std::string& name) {
  struct stat now {};
  if (stat(name.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) return true;
  const long long changed_ns = now.st_mtim.tv_sec * 1000000000LL + now.st_mtim.tv_nsec;
  const auto time = std::chrono::steady_clock::now();
  Look& look = looks_[name];
  if (look.size != static_cast<long long>(now.st_size) || look.changed_ns != changed_ns) {
    look = {static_cast<long long>(now.st_size), changed_ns, time};
    return false;
  }
  const double unchanged = std::chrono::duration<double>(time - look.since).count();
  if (unchanged < kSettleSeconds) return false;
  FilePtr file(fopen(name.c_str(), "rb"));
  const bool short_of_header = file && micrograph_short_of_its_header(file.get());
  if (short_of_header && unchanged < kShortSeconds) return false;
  looks_.erase(name);
  return true;
}
