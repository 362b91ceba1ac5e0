// Whole-program runs for the end-to-end suites: simulated micrographs written as MRC files, the
// quib program run on them in a scratch folder, and the rows of the CTF STAR file it wrote.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "param_test_args.h"
#include "simulate/mrc_output.h"
#include "simulate/simulate.h"
#include "test_util.h"

namespace quib_runs {

const std::string kQuib = std::string(QUIB_BINARY_DIR) + "/quib";
const std::string kStarName = "micrographs_all_quib.star";

// A single micrograph `size` pixels square at 300 kV, with few enough particles that all fit.
inline SimParams micrograph_params(int size, float apix, float defU, float defV, float angle, uint64_t seed) {
  SimParams p;
  p.nx = p.ny = size;
  p.apix = apix;
  p.defU = defU;
  p.defV = defV;
  p.angle = angle;
  p.seed = seed;
  p.nptcl = 20;
  p.box = size / 4 < 256 ? size / 4 : 256;
  return p;
}

// Simulates `p` and writes it as a float (mode 2) MRC file.
inline void write_simulated(const std::string& path, const SimParams& p) {
  const SimResult sim = simulate_micrograph(p);
  write_mrc_frames(path, sim.frames, p.nx, p.ny, p.nz, 2, p.apix);
}

// Runs quib with the arguments in the folder (so its outputs land there).
// `environment` is put before the command as NAME=value words.
inline CommandResult run_quib(const TempDir& dir, const std::string& arguments, const std::string& environment = "") {
  return run_command("cd '" + dir.path() + "' && " + environment + " '" + kQuib + "' " + arguments);
}

// One data row of a CTF STAR file: the two name columns and the numbers after them
// (U, V, angle, kV, Cs, ac, magnification, pixel size, figure of merit, resolution[, phase]).
struct StarRow {
  std::string micrograph;
  std::string ctf_image;
  std::vector<double> values;
  std::string line;
};

// The data rows of a CTF STAR file written by quib: the lines whose second word names a ".ctf:mrc"
// image.
inline std::vector<StarRow> star_rows(const std::string& path) {
  std::vector<StarRow> rows;
  for (const std::string& line : lines_of(read_text_file(path))) {
    std::istringstream words(line);
    StarRow row;
    row.line = line;
    if (!(words >> row.micrograph >> row.ctf_image) || row.ctf_image.find(":mrc") == std::string::npos) continue;
    for (double v; words >> v;) row.values.push_back(v);
    rows.push_back(row);
  }
  return rows;
}

// The numbers of a STAR row as printed, without the two file names.
inline std::string printed_numbers(const StarRow& row) {
  const size_t names_end = row.line.find(row.ctf_image) + row.ctf_image.size();
  return row.line.substr(names_end);
}

// The printed numbers of each row, by micrograph name.
inline std::string numbers_of(const std::vector<StarRow>& rows, const std::string& micrograph) {
  for (const StarRow& row : rows)
    if (row.micrograph == micrograph) return printed_numbers(row);
  return "no row for " + micrograph;
}

// Whether the program's output shows a crash or a sanitizer report.
inline bool shows_crash(const CommandResult& r) {
  return r.status < 0 || r.output.find("Sanitizer") != std::string::npos ||
         r.output.find("runtime error:") != std::string::npos;
}

}  // namespace quib_runs
