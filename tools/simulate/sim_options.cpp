#include "simulate/sim_options.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/report.h"
#include "simulate/mrc_output.h"

namespace {

enum class Kind { kInt, kFloat, kSeed, kText };

struct OptionSpec {
  const char* name;
  Kind kind;
  void* target;
  const char* help;
};

std::vector<OptionSpec> option_table(SimOptions& o) {
  SimParams& p = o.params;
  return {
      {"output", Kind::kText, &o.output, "the MRC file to write (required; also -o)"},
      {"nx", Kind::kInt, &p.nx, "image columns"},
      {"ny", Kind::kInt, &p.ny, "image rows"},
      {"nz", Kind::kInt, &p.nz, "frames; more than 1 writes a movie"},
      {"apix", Kind::kFloat, &p.apix, "pixel size, Angstrom"},
      {"kV", Kind::kFloat, &p.kV, "acceleration voltage, kV"},
      {"Cs", Kind::kFloat, &p.Cs, "spherical aberration, mm"},
      {"ac", Kind::kFloat, &p.ac, "amplitude contrast, fraction"},
      {"defU", Kind::kFloat, &p.defU, "defocus along --angle, Angstrom (positive = underfocus)"},
      {"defV", Kind::kFloat, &p.defV, "defocus perpendicular to --angle, Angstrom"},
      {"angle", Kind::kFloat, &p.angle, "astigmatism angle, degrees from the x axis toward +y (rows)"},
      {"phase_shift", Kind::kFloat, &p.phase_shift, "phase-plate phase shift, degrees"},
      {"bfac", Kind::kFloat, &p.bfac, "envelope B-factor exp(-B s^2/4), square Angstrom"},
      {"dose", Kind::kFloat, &p.dose, "electrons per square Angstrom over the whole exposure"},
      {"seed", Kind::kSeed, &p.seed, "random seed: the same seed gives the same file"},
      {"drift", Kind::kFloat, &p.drift, "defocus added per frame, Angstrom (frame f: U + f*drift)"},
      {"tilt_angle", Kind::kFloat, &p.tilt_angle, "specimen tilt, degrees (|tilt| <= 70)"},
      {"tilt_axis", Kind::kFloat, &p.tilt_axis,
       "tilt axis direction, degrees like --angle; the defocus grows toward tilt_axis + 90"},
      {"nptcl", Kind::kInt, &p.nptcl, "particles to place (at most 10240)"},
      {"box", Kind::kInt, &p.box, "particle box size, pixels (a particle is box/2 across)"},
      {"mode", Kind::kInt, &o.mode, "MRC mode: 2 float, 1 signed 16-bit, 6 unsigned 16-bit, 12 half float"},
      {"boxfile", Kind::kText, &o.box_file, "write EMAN .box coordinates (corner, size) to this file"},
      {"starfile", Kind::kText, &o.star_file, "write RELION .star coordinates with the local defocus"},
  };
}

[[noreturn]] void option_error(const std::string& text) { QUIB_FATAL("sim_options", text.c_str()); }

bool parse_double(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = strtod(text, &end);
  return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

// Stores the value text of the option typed as `option`.
void store_value(const OptionSpec& entry, const char* option, const char* text) {
  const std::string what = std::string(option) + " needs ";
  double value = 0;
  switch (entry.kind) {
    case Kind::kInt:
      if (!parse_double(text, value) || value != std::floor(value) || std::fabs(value) > INT_MAX)
        option_error(what + "a whole number, not '" + text + "'");
      *static_cast<int*>(entry.target) = static_cast<int>(value);
      break;
    case Kind::kFloat:
      if (!parse_double(text, value) || std::fabs(value) > 3.0e38) option_error(what + "a number, not '" + text + "'");
      *static_cast<float*>(entry.target) = static_cast<float>(value);
      break;
    case Kind::kSeed: {
      char* end = nullptr;
      errno = 0;
      const unsigned long long seed = strtoull(text, &end, 10);
      if (end == text || *end != '\0' || errno != 0 || text[0] == '-')
        option_error(what + "a whole number from 0 to 2^64 - 1, not '" + text + "'");
      *static_cast<uint64_t*>(entry.target) = seed;
      break;
    }
    case Kind::kText:
      if (text[0] == '\0' || text[0] == '-') option_error(what + "a file name, not '" + text + "'");
      *static_cast<std::string*>(entry.target) = text;
      break;
  }
}

// The option's name without its dashes; null for an argument that is not an option.
const char* option_name(const char* argument) {
  if (argument[0] != '-') return nullptr;
  return argument[1] == '-' ? argument + 2 : argument + 1;
}

}  // namespace

SimOptions parse_sim_options(int argc, const char* const* argv) {
  SimOptions o;
  const std::vector<OptionSpec> table = option_table(o);
  for (int i = 1; i < argc; ++i) {
    const char* name = option_name(argv[i]);
    if (!name) option_error(std::string("unexpected argument '") + argv[i] + "' (see --help)");
    if (!strcmp(name, "help") || !strcmp(name, "h")) {
      o.help = true;
      return o;
    }
    if (!strcmp(name, "o")) name = "output";
    const OptionSpec* entry = nullptr;
    for (const OptionSpec& s : table)
      if (!strcmp(name, s.name)) entry = &s;
    if (!entry) option_error(std::string("unknown option '") + argv[i] + "' (see --help)");
    if (i + 1 >= argc) option_error(std::string(argv[i]) + " needs a value");
    store_value(*entry, argv[i], argv[i + 1]);
    ++i;
  }
  if (o.output.empty()) option_error("no output file: name one with -o (see --help)");
  if (!sim_mrc_mode_supported(o.mode)) option_error("--mode must be 1, 2, 6 or 12");
  check_sim_params(o.params);
  return o;
}

void print_sim_help(const char* program) {
  SimOptions defaults;
  printf("Usage: %s -o OUTPUT.mrc [options]\n\n", program);
  printf(
      "Simulates a micrograph (or a movie) with a known CTF: a weak-phase specimen of ice and\n"
      "particles, the CTF with its envelope, a smooth illumination, a detector MTF and Poisson\n"
      "noise. The same options and seed always give the same file.\n\n");
  for (const OptionSpec& s : option_table(defaults)) {
    char value[64] = "none";
    if (s.kind == Kind::kInt) snprintf(value, sizeof value, "%d", *static_cast<int*>(s.target));
    if (s.kind == Kind::kFloat) snprintf(value, sizeof value, "%g", *static_cast<float*>(s.target));
    if (s.kind == Kind::kSeed)
      snprintf(value, sizeof value, "%llu", static_cast<unsigned long long>(*static_cast<uint64_t*>(s.target)));
    printf("  --%-17s %s (default %s)\n", s.name, s.help, value);
  }
  printf("  -h, --help          this text\n\n");
  printf(
      "On success it prints one line of true values for scripts:\n"
      "  QUIB_SIMULATE_TRUTH nx=.. ny=.. nz=.. apix=.. kV=.. Cs=.. ac=.. defU=.. defV=.. angle=..\n"
      "  phase_shift=.. bfac=.. dose=.. seed=.. drift=.. tilt_angle=.. tilt_axis=.. nptcl=.. box=..\n"
      "  mode=.. mean_defU=.. mean_defV=.. output=NAME\n"
      "The output name runs to the end of the line. nptcl is the number of particles placed;\n"
      "mean_defU and mean_defV are U and V of the frame sum on the tilt axis (the drift averaged\n"
      "over the frames). The tilt axis runs through the image centre; the .star file gives each\n"
      "particle's own defocus. Angles are as given, not brought into [0, 90).\n");
}

std::string sim_truth_line(const SimOptions& o, int particles_placed) {
  const SimParams& p = o.params;
  const double shift = mean_defocus_shift(p);
  char line[1024];
  snprintf(line, sizeof line,
           " nx=%d ny=%d nz=%d apix=%.9g kV=%.9g Cs=%.9g ac=%.9g defU=%.9g defV=%.9g angle=%.9g phase_shift=%.9g"
           " bfac=%.9g dose=%.9g seed=%llu drift=%.9g tilt_angle=%.9g tilt_axis=%.9g nptcl=%d box=%d mode=%d"
           " mean_defU=%.9g mean_defV=%.9g output=",
           p.nx, p.ny, p.nz, p.apix, p.kV, p.Cs, p.ac, p.defU, p.defV, p.angle, p.phase_shift, p.bfac, p.dose,
           static_cast<unsigned long long>(p.seed), p.drift, p.tilt_angle, p.tilt_axis, particles_placed, p.box, o.mode,
           p.defU + shift, p.defV + shift);
  return "QUIB_SIMULATE_TRUTH" + std::string(line) + o.output;
}
