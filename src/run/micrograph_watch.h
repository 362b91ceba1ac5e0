// The micrographs of a live run: the files that match a shell pattern (glob(3)), found anew at each
// look, and whether a file has finished arriving. The run looks at most once a second, so an idle
// watch costs no processor time to speak of.
#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "run/file_identity.h"

class MicrographWatch {
 public:
  explicit MicrographWatch(std::string pattern);

  // A file that is never taken as a micrograph: one the run writes, its STAR file, the gain.
  void exclude(const std::string& path);
  bool is_excluded(const std::string& path);
  // A micrograph the run has (listed on the command line or found); its size and time of change are
  // noted, so that settled() can tell whether it changed since.
  void add_known(const std::string& name);
  bool is_known(const std::string& path);

  // The files that match now and are neither known nor excluded, sorted by name.
  std::vector<std::string> new_matches();

  // Whether the file has finished arriving: its size and time of change are those of a look at
  // least kSettleSeconds earlier (a file not looked at before is not), and an MRC file holds the data its header
  // describes (one that stays short for kShortSeconds is handed over anyway, to be reported as damaged). A file that
  // cannot be looked at counts as settled, so that the run reports why.
  bool settled(const std::string& name);

  static constexpr double kSettleSeconds = 1.0;
  static constexpr double kShortSeconds = 60.0;

 private:
  struct Look {
    long long size = -1;
    long long changed_ns = -1;
    std::chrono::steady_clock::time_point since;  // when this size and time of change were first seen
  };

  std::string pattern_;
  FileIdentity identity_;
  std::set<std::string> known_, excluded_;
  std::map<std::string, Look> looks_;
};
