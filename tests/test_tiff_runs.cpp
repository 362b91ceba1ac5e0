// The whole program on TIFF micrographs and movies: the same counts stored as MRC and as TIFF, in
// every compression and layout, give the same STAR row bit for bit, with the frame sum and with
// incoherently averaged spectra; a gain reference multiplies every frame, so a movie divided by it
// gives the row of the undivided one; damaged or unsupported TIFF files are skipped with their
// reason and the run goes on; and the outputs of a .tif or .tiff micrograph drop its suffix.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "io/mrc_read.h"
#include "mrc_test_files.h"
#include "quib_runs.h"
#include "tiff_test_files.h"

namespace {

using quib_runs::kStarName;
using quib_runs::numbers_of;
using quib_runs::run_quib;
using quib_runs::StarRow;

constexpr int kSize = 256;
const std::string kOptions = "--apix 1.5 --boxsize 128 --seed 1 ";

// A simulated micrograph (nz frames) written as an MRC file of the mode, and the values it stores.
std::vector<float> write_counts(const std::string& path, int nz, int mode, uint64_t seed) {
  SimParams p = quib_runs::micrograph_params(kSize, 1.5f, 15000, 13500, 40, seed);
  p.nz = nz;
  write_mrc_frames(path, simulate_micrograph(p).frames, p.nx, p.ny, p.nz, mode, p.apix);
  const HostBuffer<float> stored = get_mrcf_data_all(path.c_str());
  return std::vector<float>(stored.get(), stored.get() + stored.size());
}

template <class T>
std::vector<T> converted(const std::vector<float>& values) {
  return std::vector<T>(values.begin(), values.end());
}

// The TIFF forms a microscope writes: plain strips, LZW with a predictor, deflate, big-endian
// deflate tiles.
struct TiffForm {
  const char* name;
  const char* mode;
  TiffLayout layout;
};
const TiffForm kForms[] = {{"plain.tif", "w", {COMPRESSION_NONE, false, 16}},
                           {"lzw.tif", "w", {COMPRESSION_LZW, true, 0}},
                           {"deflate.tiff", "w", {COMPRESSION_ADOBE_DEFLATE, false, 64}},
                           {"tiles.tif", "wb", {COMPRESSION_ADOBE_DEFLATE, true, 0, 64}}};

template <class T>
std::string write_forms(const TempDir& dir, const std::string& stem, const std::vector<T>& values, int nz) {
  std::string names;
  for (const TiffForm& form : kForms) {
    const std::string name = stem + "_" + form.name;
    TestTiffWriter(dir.file(name), form.mode).add_pages(values, kSize, kSize, nz, form.layout);
    names += " " + name;
  }
  return names;
}

void expect_rows_equal(const TempDir& dir, const std::string& reference, const std::string& names) {
  const std::vector<StarRow> rows = quib_runs::star_rows(dir.file(kStarName));
  const std::string expected = numbers_of(rows, reference);
  ASSERT_EQ(expected.find("no row"), std::string::npos);
  std::istringstream list(names);
  for (std::string name; list >> name;) EXPECT_EQ(numbers_of(rows, name), expected) << name;
}

TEST(TiffRuns, MoviesAndImagesGiveTheRowsOfTheSameCountsInMrcFiles) {
  TempDir dir;
  const std::vector<float> movie = write_counts(dir.file("movie.mrcs"), 3, MRC_MODE_USHORT, 21);
  const std::string movies = write_forms(dir, "movie", converted<uint16_t>(movie), 3);
  for (const char* average : {"", "--mdef_ave_type 1 "}) {
    const CommandResult run = run_quib(dir, kOptions + average + "movie.mrcs" + movies);
    ASSERT_EQ(run.status, 0) << run.output;
    expect_rows_equal(dir, "movie.mrcs", movies);
  }
  const std::vector<float> image = write_counts(dir.file("image.mrc"), 1, MRC_MODE_SHORT, 22);
  const std::string images = write_forms(dir, "image", converted<int16_t>(image), 1);
  const CommandResult run = run_quib(dir, kOptions + "--do_phase_flip 1 image.mrc" + images);
  ASSERT_EQ(run.status, 0) << run.output;
  expect_rows_equal(dir, "image.mrc", images);
  // Outputs drop ".tif" and ".tiff" as they drop ".mrc".
  for (const char* output :
       {"image_lzw.ctf", "image_lzw_quib.log", "image_lzw_EPA.log", "image_lzw_pf.mrc", "image_deflate.ctf",
        "image_deflate_quib.log", "image_deflate_EPA.log", "image_deflate_pf.mrc"})
    EXPECT_EQ(access(dir.file(output).c_str(), F_OK), 0) << output;
  EXPECT_NE(read_text_file(dir.file(kStarName)).find("image_deflate.tiff image_deflate.ctf:mrc"), std::string::npos);
}

// A gain pattern of powers of two, so that dividing counts by it and multiplying back is exact.
std::vector<float> gain_pattern(int nx, int ny) {
  std::vector<float> gain(size_t(nx) * ny);
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nx; ++x) gain[size_t(y) * nx + x] = std::ldexp(1.0f, (x * 7 + y * 3) % 4 - 1);
  return gain;
}

TEST(TiffRuns, AGainReferenceUndoesTheDivisionOfEveryFrame) {
  TempDir dir;
  const std::vector<float> movie = write_counts(dir.file("counts.mrcs"), 3, MRC_MODE_USHORT, 23);
  write_test_mrc(dir.file("reference.mrcs"), mrc_test_head(kSize, kSize, 3, MRC_MODE_FLOAT), mrc_test_elements(movie));
  const std::vector<float> gain = gain_pattern(kSize, kSize);
  std::vector<float> divided(movie.size());
  for (size_t i = 0; i < movie.size(); ++i) divided[i] = movie[i] / gain[i % gain.size()];
  TestTiffWriter(dir.file("divided.tif")).add_pages(divided, kSize, kSize, 3, {COMPRESSION_LZW});
  write_test_mrc(dir.file("divided.mrcs"), mrc_test_head(kSize, kSize, 3, MRC_MODE_FLOAT), mrc_test_elements(divided));
  TestTiffWriter(dir.file("gain.tif")).add_pages(gain, kSize, kSize, 1, {COMPRESSION_ADOBE_DEFLATE});
  write_test_mrc(dir.file("gain.mrc"), mrc_test_head(kSize, kSize, 1, MRC_MODE_FLOAT), mrc_test_elements(gain));

  const CommandResult plain = run_quib(dir, kOptions + "reference.mrcs");
  ASSERT_EQ(plain.status, 0) << plain.output;
  const std::string expected = numbers_of(quib_runs::star_rows(dir.file(kStarName)), "reference.mrcs");
  for (const char* gain_file : {"gain.tif", "gain.mrc"}) {
    const CommandResult run = run_quib(dir, kOptions + "--gain " + gain_file + " divided.tif divided.mrcs");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(std::string("Gain reference ") + gain_file + " (256 x 256) multiplies every frame."),
              std::string::npos);
    const std::vector<StarRow> rows = quib_runs::star_rows(dir.file(kStarName));
    EXPECT_EQ(numbers_of(rows, "divided.tif"), expected) << gain_file;
    EXPECT_EQ(numbers_of(rows, "divided.mrcs"), expected) << gain_file;
  }

  // Refused before any micrograph: another size, a value that is not finite, several images, no
  // file, and a gain that an output would overwrite.
  TestTiffWriter(dir.file("small.tif")).add_pages(gain_pattern(128, 128), 128, 128, 1);
  std::vector<float> holed = gain;
  holed[5 * kSize + 3] = NAN;
  TestTiffWriter(dir.file("holed.tif")).add_pages(holed, kSize, kSize, 1);
  TestTiffWriter(dir.file("stack.tif")).add_pages(divided, kSize, kSize, 3);
  const struct {
    const char* gain;
    const char* message;
  } refusals[] = {
      {"small.tif",
       "The gain reference small.tif cannot be used: it is 128 x 128 pixels, but the run's first "
       "micrograph divided.tif is 256 x 256."},
      {"holed.tif",
       "The gain reference holed.tif cannot be used: pixel 3, 5 holds a value that is not a finite number."},
      {"stack.tif",
       "The gain reference stack.tif cannot be used: it holds 3 images; a gain reference is a single image."},
      {"none.tif", "Cannot open file none.tif."},
      {"divided.ctf", "The diagnosis image divided.ctf would overwrite the input file divided.ctf."},
  };
  for (const auto& refusal : refusals) {
    remove(dir.file("divided_quib.log").c_str());
    const CommandResult run = run_quib(dir, kOptions + "--gain " + refusal.gain + " divided.tif");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(refusal.message), std::string::npos) << run.output;
    EXPECT_NE(access(dir.file("divided_quib.log").c_str(), F_OK), 0) << refusal.gain;
  }
}

TEST(TiffRuns, DamagedAndUnsupportedTiffFilesAreSkippedWithTheirReason) {
  TempDir dir;
  const std::vector<uint16_t> movie =
      converted<uint16_t>(write_counts(dir.file("counts.mrcs"), 2, MRC_MODE_USHORT, 24));
  TestTiffWriter(dir.file("good.tif")).add_pages(movie, kSize, kSize, 2, {COMPRESSION_LZW});
  const Bytes good = read_test_file(dir.file("good.tif"));
  write_test_file(dir.file("cut.tif"), Bytes(good.begin(), good.begin() + good.size() / 2));
  Bytes garbled = good;
  for (size_t i = 8; i < 4000; ++i) garbled[i] = uint8_t(i * 37);
  write_test_file(dir.file("garbled.tif"), garbled);
  {
    TestTiffWriter sizes(dir.file("sizes.tif"));
    sizes.add_page(movie.data(), kSize, kSize);
    sizes.add_page(movie.data(), kSize, kSize / 2);
    TiffLayout colour;
    colour.samples = 3;
    colour.photometric = PHOTOMETRIC_RGB;
    TestTiffWriter(dir.file("rgb.tif")).add_pages(std::vector<uint16_t>(movie.size() * 3, 9), kSize, kSize, 2, colour);
  }
  const CommandResult run = run_quib(dir, kOptions + "cut.tif good.tif garbled.tif sizes.tif rgb.tif");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("Warning: cut.tif is not a usable TIFF file ("), std::string::npos) << run.output;
  const struct {
    const char* name;
    const char* reason;
  } skipped[] = {
      {"cut.tif", "it is not a readable TIFF file ("},
      {"garbled.tif", "its pixels could not be read (page 1, strip 0 could not be decoded: "},
      {"sizes.tif",
       "it is not a readable TIFF file (page 2 holds 256 x 128 pixels of 16-bit unsigned integers, but "
       "page 1 256 x 256 pixels of 16-bit unsigned integers)"},
      {"rgb.tif", "it is not a readable TIFF file (its pages hold 3 samples per pixel"},
  };
  for (const auto& s : skipped)
    EXPECT_NE(run.output.find(std::string("\n  ") + s.name + ": " + s.reason), std::string::npos) << s.name;
  EXPECT_EQ(quib_runs::star_rows(dir.file(kStarName)).size(), 1u);
  // libtiff's own messages ("module: text", "module: Warning, text") never reach the screen.
  for (const std::string& line : lines_of(run.output)) {
    EXPECT_NE(line.rfind("TIFF", 0), 0u) << line;
    EXPECT_EQ(line.find(": Warning, "), std::string::npos) << line;
  }
  EXPECT_FALSE(quib_runs::shows_crash(run)) << run.output;
}

}  // namespace
