// Local refinement as the whole program runs it: on tilted micrographs every particle gets its own
// defocus, much closer to its true defocus than the micrograph's; the per-particle STAR file and
// diagnosis stack are complete and honest about particles without a box; box files that cannot be
// used skip only their micrograph's local refinement; unusable options and outputs that would
// replace a box file stop the run before any work.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "io/mrc_header.h"
#include "quib_runs.h"
#include "simulate/coordinate_files.h"

namespace {

using quib_runs::kStarName;
using quib_runs::run_quib;
using quib_runs::shows_crash;
using quib_runs::star_rows;

// One row of a per-particle STAR file.
struct ParticleRow {
  std::string micrograph;
  std::vector<double> values;  // X, Y, kV, U, V, angle, Cs, pixel size, FOM, magnification, ac, autopick FOM, phase
};

std::vector<ParticleRow> particle_rows(const std::string& path) {
  std::vector<ParticleRow> rows;
  for (const std::string& line : lines_of(read_text_file(path))) {
    std::istringstream words(line);
    ParticleRow row;
    if (!(words >> row.micrograph) || row.micrograph[0] == '_' || row.micrograph == "data_" ||
        row.micrograph == "loop_")
      continue;
    for (double v; words >> v;) row.values.push_back(v);
    rows.push_back(row);
  }
  return rows;
}

double rms(const std::vector<double>& errors) {
  double sum = 0;
  for (double e : errors) sum += e * e;
  return std::sqrt(sum / errors.size());
}

// The micrograph's own mean defocus from its row of the run's STAR file.
double micrograph_mean_defocus(const TempDir& dir, const std::string& name) {
  for (const quib_runs::StarRow& row : star_rows(dir.file(kStarName)))
    if (row.micrograph == name) return (row.values[0] + row.values[1]) / 2;
  ADD_FAILURE() << "no row for " << name;
  return 0;
}

struct TiltCase {
  const char* name;
  float tilt_angle;
  float tilt_axis;
};

// Particles within this many pixels of a side count as edge particles.
constexpr int kEdge = 400;

TEST(LocalRefine, TiltedMicrographsGiveEveryParticleItsOwnDefocus) {
  TempDir dir;
  const TiltCase tilts[] = {{"tilt20.mrc", 20.0f, 0.0f}, {"tilt40.mrc", 40.0f, 60.0f}};
  std::map<std::string, std::map<std::pair<int, int>, double>> truth;
  std::string names;
  for (const TiltCase& t : tilts) {
    SimParams p = quib_runs::micrograph_params(2048, 1.0f, 15000, 15500, 30, 11);
    p.tilt_angle = t.tilt_angle;
    p.tilt_axis = t.tilt_axis;
    p.nptcl = 100;
    const SimResult sim = simulate_micrograph(p);
    write_mrc_frames(dir.file(t.name), sim.frames, p.nx, p.ny, 1, 2, p.apix);
    const std::string stem = std::string(t.name).substr(0, std::string(t.name).size() - 4);
    write_box_file(dir.file(stem + ".box"), sim.particles, p.box);
    for (const ParticleTruth& q : sim.particles) truth[t.name][{q.x, q.y}] = (q.defU + q.defV) / 2.0;
    names += std::string(" ") + t.name;
  }
  for (int type : {0, 1, 2}) {
    SCOPED_TRACE("--local_avetype " + std::to_string(type));
    const CommandResult r = run_quib(dir,
                                     "--apix 1 --seed 1 --do_local_refine --boxsuffix .box --local_boxsize 256 "
                                     "--local_radius 384 --local_overlap 0.75 --local_avetype " +
                                         std::to_string(type) + names);
    ASSERT_EQ(r.status, 0) << r.output;
    for (const TiltCase& t : tilts) {
      SCOPED_TRACE(t.name);
      const std::string stem = std::string(t.name).substr(0, std::string(t.name).size() - 4);
      const double whole = micrograph_mean_defocus(dir, t.name);
      const std::vector<ParticleRow> rows = particle_rows(dir.file(stem + "_local.star"));
      ASSERT_EQ(rows.size(), truth[t.name].size());
      std::vector<double> local[2], wide[2];  // [0] interior, [1] edge
      for (const ParticleRow& row : rows) {
        const int x = int(row.values[0]), y = int(row.values[1]);
        const double true_mean = truth[t.name].at({x, y});
        const int edge = std::min(std::min(x, y), std::min(2048 - x, 2048 - y)) < kEdge;
        local[edge].push_back((row.values[3] + row.values[4]) / 2 - true_mean);
        wide[edge].push_back(whole - true_mean);
      }
      for (int edge : {0, 1}) {
        ASSERT_GE(local[edge].size(), 20u);
        const double local_rms = rms(local[edge]), wide_rms = rms(wide[edge]);
        printf(
            "%s --local_avetype %d, %s particles: RMS error of the mean defocus %.1f A per particle, %.1f A "
            "micrograph-wide\n",
            t.name, type, edge ? "edge" : "interior", local_rms, wide_rms);
        EXPECT_LE(4 * local_rms, wide_rms) << (edge ? "edge" : "interior");
      }
    }
  }
}

// Reads an MRC stack of floats: its header and all its values.
std::vector<float> read_float_stack(const std::string& path, MRC_HEAD& head) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return {};
  std::vector<float> data;
  if (mrc_read_head(file, &head) == 0) {
    data.resize(size_t(head.nx) * head.ny * head.nz);
    if (fread(data.data(), sizeof(float), data.size(), file) != data.size()) data.clear();
  }
  fclose(file);
  return data;
}

class LocalRefineOutputs : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    SimParams p = quib_runs::micrograph_params(1024, 1.5f, 18000, 18600, 40, 5);
    p.nptcl = 12;
    const SimResult sim = simulate_micrograph(p);
    for (const char* name : {"a.mrc", "empty.mrc", "damaged.mrc"})
      write_mrc_frames(dir_->file(name), sim.frames, p.nx, p.ny, 1, 2, p.apix);
    particles_ = sim.particles.size();
    write_box_file(dir_->file("a.box"), sim.particles, p.box);
    // A particle far outside the micrograph has no grid box near it.
    FILE* box = fopen(dir_->file("a.box").c_str(), "a");
    fprintf(box, "-5000\t-5000\t128\t128\n");
    fclose(box);
    write_text_file(*dir_, "empty.box", "");
    write_text_file(*dir_, "damaged.box", "10 10 128 128\n20 20\n");
    run_ = run_quib(*dir_,
                    "--apix 1.5 --seed 1 --do_local_refine --write_local_ctf --boxsuffix .box "
                    "--local_boxsize 256 --local_radius 400 a.mrc empty.mrc damaged.mrc");
  }
  static void TearDownTestSuite() { delete dir_; }

  static TempDir* dir_;
  static size_t particles_;
  static CommandResult run_;
};
TempDir* LocalRefineOutputs::dir_ = nullptr;
size_t LocalRefineOutputs::particles_ = 0;
CommandResult LocalRefineOutputs::run_;

TEST_F(LocalRefineOutputs, EveryParticleHasARowAndAnImage) {
  ASSERT_FALSE(shows_crash(run_)) << run_.output;
  ASSERT_EQ(run_.status, 0) << run_.output;
  EXPECT_EQ(run_.output.find("not available"), std::string::npos);
  EXPECT_EQ(star_rows(dir_->file(kStarName)).size(), 3u) << "every micrograph keeps its own result";
  const std::vector<ParticleRow> rows = particle_rows(dir_->file("a_local.star"));
  ASSERT_EQ(rows.size(), particles_ + 1);
  const quib_runs::StarRow mic = star_rows(dir_->file(kStarName))[0];
  for (size_t i = 0; i < particles_; ++i) {
    ASSERT_EQ(rows[i].values.size(), 13u);
    EXPECT_EQ(rows[i].micrograph, "a.mrc");
    EXPECT_NEAR((rows[i].values[3] + rows[i].values[4]) / 2, (mic.values[0] + mic.values[1]) / 2, 300);
    EXPECT_GT(rows[i].values[8], 0.0) << "a fitted particle has a figure of merit";
  }
  // The particle without a box keeps the micrograph's values with figure of merit 0.
  const ParticleRow& outside = rows.back();
  EXPECT_EQ(outside.values[0], -5000 + 64);
  EXPECT_NEAR(outside.values[3], mic.values[0], 0.01);
  EXPECT_NEAR(outside.values[4], mic.values[1], 0.01);
  EXPECT_EQ(outside.values[8], 0.0);
  EXPECT_NE(run_.output.find("Local Values0: no grid box within --local_radius"), std::string::npos);

  MRC_HEAD head;
  const std::vector<float> stack = read_float_stack(dir_->file("a_local.ctf"), head);
  ASSERT_EQ(head.nz, int(particles_ + 1));
  ASSERT_EQ(head.nx, 256);
  ASSERT_EQ(stack.size(), size_t(256) * 256 * (particles_ + 1));
  float lo = stack[0], hi = stack[0];
  double sum = 0;
  for (float v : stack) {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
    sum += v;
  }
  EXPECT_EQ(head.dmin, lo) << "the statistics cover every image";
  EXPECT_EQ(head.dmax, hi);
  EXPECT_NEAR(head.dmean, sum / stack.size(), 1e-4);
  const size_t image = size_t(256) * 256;
  for (size_t i = 0; i < image; ++i) ASSERT_EQ(stack[particles_ * image + i], 0.0f) << "a blank image";
  float first_lo = stack[0], first_hi = stack[0];
  for (size_t i = 0; i < image; ++i) {
    first_lo = std::min(first_lo, stack[i]);
    first_hi = std::max(first_hi, stack[i]);
  }
  EXPECT_LT(first_lo, first_hi) << "a fitted particle's image is drawn";
}

TEST_F(LocalRefineOutputs, UnusableBoxFilesSkipOnlyTheirMicrograph) {
  // An empty box file: a table without rows, and no empty stack.
  EXPECT_TRUE(particle_rows(dir_->file("empty_local.star")).empty());
  EXPECT_NE(read_text_file(dir_->file("empty_local.star")).find("_rlnDefocusU"), std::string::npos);
  EXPECT_NE(access(dir_->file("empty_local.ctf").c_str(), F_OK), 0);
  // A box line of two words skips that micrograph's local refinement only.
  EXPECT_NE(run_.output.find("Warning: local refinement of damaged.mrc is skipped: its box file damaged.box holds 2 "
                             "word(s) on line 2"),
            std::string::npos)
      << run_.output;
  EXPECT_NE(access(dir_->file("damaged_local.star").c_str(), F_OK), 0);
}

TEST_F(LocalRefineOutputs, RelionReadsTheParticleStarFile) {
  if (run_command("command -v relion_star_printtable").status != 0)
    GTEST_SKIP() << "RELION is not installed (no relion_star_printtable)";
  const std::string star = dir_->file("a_local.star");
  const CommandResult table =
      run_command("relion_star_printtable '" + star + "' data_ _rlnCoordinateX _rlnDefocusU _rlnCtfFigureOfMerit");
  ASSERT_EQ(table.status, 0) << table.output;
  const std::vector<std::string> lines = lines_of(table.output);
  const std::vector<ParticleRow> rows = particle_rows(star);
  ASSERT_EQ(lines.size(), rows.size()) << table.output;
  for (size_t i = 0; i < rows.size(); ++i) {
    double x = NAN, U = NAN, fom = NAN;
    std::istringstream(lines[i]) >> x >> U >> fom;
    EXPECT_NEAR(x, rows[i].values[0], 1e-6);
    EXPECT_NEAR(U, rows[i].values[3], 1e-3);
    EXPECT_NEAR(fom, rows[i].values[8], 1e-6);
  }
}

TEST(LocalRefine, UnusableOptionsAndOutputsOverBoxFilesStopTheRun) {
  const struct {
    const char* options;
    const char* message;
  } cases[] = {
      {"--local_resH 0", "Invalid local band --local_resL 15 --local_resH 0: both resolutions must be larger than 0"},
      {"--local_resL 8 --local_resH 8", "Invalid local band --local_resL 8 --local_resH 8: it is empty"},
      {"--local_resL 2.5 --local_resH 2",
       "Invalid local band --local_resL 2.5 --local_resH 2: it lies wholly beyond "
       "Nyquist"},
      {"--local_boxsize 1", "Invalid --local_boxsize 1: a local box must be at least 64 pixels"},
      {"--local_boxtype 2", "Invalid --local_boxtype 2: only 1"},
      {"--local_radius 0", "Invalid --local_radius 0: a particle's neighbourhood needs a radius larger than 0"},
      {"--boxsuffix _local.star",
       "The per-particle STAR file ./m_local.star would overwrite the input file ./m_local.star. Choose another "
       "--boxsuffix."},
  };
  TempDir dir;
  quib_runs::write_simulated(dir.file("m.mrc"), quib_runs::micrograph_params(256, 1.5f, 15000, 15000, 0, 3));
  const std::string box = write_text_file(dir, "m_local.star", "data_\nloop_\n_rlnCoordinateX #1\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const CommandResult r =
        run_quib(dir, std::string("--apix 1.5 --boxsize 128 --do_local_refine ") + c.options + " ./m.mrc");
    EXPECT_FALSE(shows_crash(r)) << r.output;
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_EQ(count_occurrences(r.output, "Processing done successfully."), 0);
  }
  EXPECT_EQ(read_text_file(box), "data_\nloop_\n_rlnCoordinateX #1\n") << "the box file is left alone";
  // A local band finer than Nyquist is used up to Nyquist; resolutions are not truncated.
  const CommandResult r = run_quib(dir,
                                   "--apix 1.5 --boxsize 128 --do_local_refine --local_resH 2.5 --local_resL "
                                   "17.5 --boxsuffix .box m.mrc");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Warning: --local_resH 2.5 lies beyond Nyquist; the local fit stops at Nyquist, 3 Angstrom"),
            std::string::npos);
  EXPECT_NE(r.output.find("--local_resL         17.50"), std::string::npos) << r.output;
}

}  // namespace
