#include "run/file_identity.h"

#include <limits.h>
#include <stdlib.h>

std::string FileIdentity::of(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  auto found = folders_.find(folder);
  if (found == folders_.end()) {
    char resolved[PATH_MAX];
    found = folders_.emplace(folder, realpath(folder.c_str(), resolved) ? std::string(resolved) : folder).first;
  }
  return found->second + "/" + file;
}
