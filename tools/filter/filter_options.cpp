#include "filter/filter_options.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/report.h"

namespace {

enum class Kind { kInt, kLength, kResolution, kAngle, kSwitch, kEdge, kMotion, kPath };

struct OptionSpec {
  const char* name;
  Kind kind;
  void* target;
  const char* value;
  const char* help;
};

std::vector<OptionSpec> option_table(FilterOptions& o) {
  return {
      {"apix", Kind::kLength, &o.apix, "A", "pixel size in Angstrom (default: from the input header)"},
      {"bin", Kind::kInt, &o.bin, "k", "bin by k: each pixel the mean of a k x k block (edges left over are dropped)"},
      {"scale", Kind::kLength, &o.scale, "s",
       "resample to s times the size (trunc(n s) pixels a side) by bilinear interpolation about the centre; "
       "the pixel size becomes apix / s"},
      {"rotate", Kind::kAngle, &o.rotate, "deg",
       "rotate by deg degrees about the centre ((nx-1)/2, (ny-1)/2), bilinear: a positive angle turns the image "
       "clockwise as seen with y up, counter-clockwise with y down (first row at the top); corners from outside are 0"},
      {"transform", Kind::kMotion, &o.motion, "LIST",
       "six numbers m11,m12,m21,m22,tx,ty: move the image by the affine motion p -> M p + t about the centre, "
       "t in pixels, bilinear; M must be invertible"},
      {"bg_radius", Kind::kLength, &o.bg_radius, "R", "subtract the local mean over a soft disk of R pixels"},
      {"local_std", Kind::kLength, &o.std_radius, "R",
       "replace the image by its local standard deviation over a soft disk of R pixels"},
      {"disk_edge", Kind::kLength, &o.disk_edge, "w", "soft edge of the --bg_radius and --local_std disks, pixels"},
      {"box_std", Kind::kInt, &o.box_std, "k",
       "replace the image by its standard deviation over a k x k window (k/2 before to k/2 - 1 after each pixel, "
       "cut at the edges)"},
      {"lowpass", Kind::kResolution, &o.lowpass, "d", "remove details finer than d Angstrom"},
      {"highpass", Kind::kResolution, &o.highpass, "d", "remove details coarser than d Angstrom"},
      {"edge", Kind::kEdge, &o.edge, "type",
       "how the band ends: sharp (default), soft (a Gaussian edge of --width beyond the low-pass), "
       "gauss (Gaussian weights over the band; needs both passes)"},
      {"width", Kind::kLength, &o.width, "w", "soft edge width in pixels of the transform (default 5)"},
      {"mirror", Kind::kSwitch, &o.mirror, "", "filter the mirror-padded image, so no edge wraps onto the other"},
      {"mask", Kind::kLength, &o.mask_radius, "R", "multiply by a circular mask of R pixels about the centre"},
      {"mask_edge", Kind::kLength, &o.mask_edge, "w", "soft edge of the mask, pixels"},
      {"extract", Kind::kPath, &o.extract_boxes, "BOXFILE",
       "instead of filtering, cut the particles of an EMAN .box file (corners and a common size) out of every "
       "section and write them as a stack, section by section; pixels off the image are 0"},
      {"paste", Kind::kPath, &o.paste_stack, "STACK",
       "instead of filtering, paste the stack's images into the micrograph at --boxes, each given the mean and "
       "spread of the region it replaces (later boxes overwrite earlier ones)"},
      {"boxes", Kind::kPath, &o.paste_boxes, "BOXFILE", "the EMAN .box file of --paste: one box per stack image"},
  };
}

[[noreturn]] void option_error(const std::string& text) { QUIB_FATAL("quib_filter", text.c_str()); }

double parse_number(const char* option, const char* text) {
  char* end = nullptr;
  errno = 0;
  const double value = strtod(text, &end);
  if (end == text || *end != '\0' || errno != 0 || !std::isfinite(value) || std::fabs(value) > 3.0e38)
    option_error(std::string(option) + " needs a number, not '" + text + "'");
  return value;
}

// Six numbers separated by commas.
RT_Mat2D parse_motion(const char* option, const char* text) {
  double v[6];
  const char* start = text;
  for (int k = 0; k < 6; ++k) {
    const char* comma = strchr(start, ',');
    const bool last = k == 5;
    if (last == (comma != nullptr))
      option_error(std::string(option) + " needs six numbers m11,m12,m21,m22,tx,ty, not '" + text + "'");
    const std::string word = last ? std::string(start) : std::string(start, comma);
    v[k] = parse_number(option, word.c_str());
    start = last ? start : comma + 1;
  }
  return RT_Mat2D{v[0], v[1], v[2], v[3], v[4], v[5]};
}

void store_value(const OptionSpec& entry, const char* option, const char* text) {
  const bool positive = entry.kind == Kind::kInt || entry.kind == Kind::kLength || entry.kind == Kind::kResolution;
  const double value = positive || entry.kind == Kind::kAngle ? parse_number(option, text) : 0.0;
  // A length must stay above 0 in float too: 0 would silently mean "no such step".
  const bool stays_positive = entry.kind == Kind::kLength ? static_cast<float>(value) > 0.0f : value > 0;
  if (positive && !stays_positive) option_error(std::string(option) + " needs a value above 0, not '" + text + "'");
  switch (entry.kind) {
    case Kind::kInt:
      if (value != std::floor(value) || value > INT_MAX)
        option_error(std::string(option) + " needs a whole number of at least 1, not '" + text + "'");
      *static_cast<int*>(entry.target) = static_cast<int>(value);
      break;
    case Kind::kLength:
    case Kind::kAngle:
      *static_cast<float*>(entry.target) = static_cast<float>(value);
      break;
    case Kind::kResolution:
      *static_cast<double*>(entry.target) = value;
      break;
    case Kind::kEdge: {
      BandEdge& edge = *static_cast<BandEdge*>(entry.target);
      if (!strcmp(text, "sharp"))
        edge = BandEdge::kSharp;
      else if (!strcmp(text, "soft"))
        edge = BandEdge::kSoft;
      else if (!strcmp(text, "gauss"))
        edge = BandEdge::kGaussian;
      else
        option_error(std::string(option) + " needs sharp, soft or gauss, not '" + text + "'");
      break;
    }
    case Kind::kSwitch:
      *static_cast<bool*>(entry.target) = true;
      break;
    case Kind::kMotion:
      *static_cast<std::optional<RT_Mat2D>*>(entry.target) = parse_motion(option, text);
      break;
    case Kind::kPath:
      *static_cast<std::string*>(entry.target) = text;
      break;
  }
}

}  // namespace

FilterOptions parse_filter_options(int argc, const char* const* argv) {
  FilterOptions o;
  const std::vector<OptionSpec> table = option_table(o);
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument[0] != '-' || argument[1] == '\0') {
      files.push_back(argument);
      continue;
    }
    const char* name = argument[1] == '-' ? argument + 2 : argument + 1;
    if (!strcmp(name, "help") || !strcmp(name, "h")) {
      o.help = true;
      return o;
    }
    const OptionSpec* entry = nullptr;
    for (const OptionSpec& s : table)
      if (!strcmp(name, s.name)) entry = &s;
    if (!entry) option_error(std::string("unknown option '") + argument + "' (see --help)");
    if (entry->kind == Kind::kSwitch) {
      store_value(*entry, argument, "");
      continue;
    }
    if (i + 1 >= argc) option_error(std::string(argument) + " needs a value");
    store_value(*entry, argument, argv[++i]);
  }
  if (files.size() != 2) option_error("give one input and one output MRC file (see --help)");
  o.input = files[0];
  o.output = files[1];
  if (o.edge != BandEdge::kSharp && !has_band_pass(o)) option_error("--edge needs --lowpass or --highpass");
  if (o.mirror && !has_band_pass(o)) option_error("--mirror needs --lowpass or --highpass");
  if (o.paste_stack.empty() != o.paste_boxes.empty()) option_error("--paste and --boxes go together");
  const bool particles = !o.extract_boxes.empty() || !o.paste_stack.empty();
  if (!o.extract_boxes.empty() && !o.paste_stack.empty()) option_error("give --extract or --paste, not both");
  if (particles && has_image_steps(o))
    option_error("--extract and --paste do not filter: run the filters in a separate quib_filter run");
  return o;
}

bool has_band_pass(const FilterOptions& o) { return o.lowpass > 0.0 || o.highpass > 0.0; }

bool has_image_steps(const FilterOptions& o) {
  return o.bin != 1 || o.scale > 0.0f || o.rotate != 0.0f || o.motion || o.bg_radius > 0.0f || o.std_radius > 0.0f ||
         o.box_std > 0 || has_band_pass(o) || o.mask_radius > 0.0f;
}

BandPass band_of(const FilterOptions& o) {
  const double coarse = o.highpass > 0.0 ? o.highpass : INFINITY;
  return BandPass{coarse, o.lowpass, o.edge, o.width};
}

void print_filter_help(const char* program) {
  printf("Usage: %s [options] input.mrc output.mrc\n\n", program);
  printf("Filters every image of an MRC file (modes 0, 1, 2, 6, 12) and writes the results as 32-bit floats.\n");
  printf("The steps run in this order: binning, scaling, rotation, transform, background subtraction,\n");
  printf("local standard deviation, window standard deviation, band-pass (square images only), mask.\n");
  printf("The output's pixel size follows the binning and scaling; the transform's translation and the\n");
  printf("radii are in pixels of the image the step works on. --extract and --paste replace the steps:\n");
  printf("they take no filter option, and --paste needs a single-section micrograph.\n\n");
  printf("Options:\n");
  FilterOptions o;
  for (const OptionSpec& s : option_table(o)) {
    const std::string flag = std::string("--") + s.name + (s.value[0] ? std::string(" ") + s.value : "");
    printf("  %-18s %s\n", flag.c_str(), s.help);
  }
  printf("  %-18s %s\n\n", "--help, -h", "print this help");
  printf("Examples: %s --bin 2 --lowpass 20 in.mrc out.mrc\n", program);
  printf("          %s --extract particles.box micrograph.mrc stack.mrc\n", program);
  printf("          %s --paste stack.mrc --boxes particles.box micrograph.mrc pasted.mrc\n", program);
  printf("Exit status: 0 when the output is written, 1 after an error (the message says which).\n");
}
