// One spelling per file, so that "a.mrc", "./a.mrc" and "/data/a.mrc" compare equal: the real path
// of the file's folder and the file's own name. Folders that do not exist are kept as written, and
// each folder is resolved once.
#pragma once

#include <map>
#include <string>

class FileIdentity {
 public:
  std::string of(const std::string& path);

 private:
  std::map<std::string, std::string> folders_;
};
