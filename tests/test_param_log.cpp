// The parameter section and RELION block of the micrograph logs, and the run's CTF STAR file:
// exact lines, the column layouts with and without phase shift, and a round trip through the
// STAR reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/ctf_model.h"
#include "golden_log.h"
#include "io/ctf_star_reader.h"
#include "io/star_micrographs.h"
#include "output/ctf_star_writer.h"
#include "param_test_args.h"
#include "run/param_log.h"

namespace {

// What the writer put into a memory stream.
template <class F>
std::string written_by(F&& write) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&buffer, &size);
  write(stream);
  fclose(stream);
  std::string text(buffer, size);
  free(buffer);
  return text;
}

QUIB_Para defaults() {
  Args args{"a.mrc"};
  QUIB_Para p;
  Quib_init_parameters(args.argc(), args.argv(), &p);
  return p;
}

const std::vector<std::string> DEFAULT_SECTION = golden_log::parameter_section();

TEST(ParamLog, SectionOfTheDefaults) {
  const QUIB_Para p = defaults();
  const std::string text = written_by([&](FILE* f) { EXPECT_EQ(Quib_fput_parameters(f, &p), 0); });
  EXPECT_EQ(lines_of(text), DEFAULT_SECTION);
  EXPECT_EQ(text.back(), '\n');
}

TEST(ParamLog, SectionShowsTheValuesInUse) {
  Args args{"--phase_shift_H", "120", "--apix", "1.06", "--logsuffix", "_mine.log", "--ctfstar", "none", "a.mrc"};
  const QUIB_Para p = parsed(args);
  const std::vector<std::string> lines = lines_of(written_by([&](FILE* f) { Quib_fput_parameters(f, &p); }));
  ASSERT_EQ(lines.size(), DEFAULT_SECTION.size());
  // The line of the default section that begins with the option's name.
  auto line_of = [&](const std::string& name) {
    for (size_t k = 0; k < DEFAULT_SECTION.size(); ++k)
      if (DEFAULT_SECTION[k].rfind("        --" + name + " ", 0) == 0) return lines[k];
    return std::string("no such line");
  };
  EXPECT_EQ(line_of("apix"), "        --apix               1.060");
  EXPECT_EQ(lines[10], "ON");
  EXPECT_EQ(line_of("phase_shift_H"), "        --phase_shift_H      120.00");
  EXPECT_EQ(line_of("phase_shift_S"), "        --phase_shift_S      5.00");
  EXPECT_EQ(line_of("defL"), "        --defL               1000.00");
  EXPECT_EQ(line_of("boxsize"), "        --boxsize            512");
  EXPECT_EQ(line_of("convsize"), "        --convsize           25");
  EXPECT_EQ(line_of("ctfout_resH"), "        --ctfout_resH        2.22");
  EXPECT_EQ(line_of("ctfstar"), "        --ctfstar            NULL");
  EXPECT_EQ(line_of("logsuffix"), "        --logsuffix          _mine.log");
}

TEST(ParamLog, RelionBlockFollowsTheSection) {
  QUIB_Para p = defaults();
  p.apix = 1.4f;
  p.dstep = 14.0f;
  const std::string text = written_by([&](FILE* f) { EXPECT_EQ(Quib_fput_parameters_ctffind3(f, &p, 7), 0); });
  const std::string section = written_by([&](FILE* f) { Quib_fput_parameters(f, &p); });
  ASSERT_EQ(text.compare(0, section.size(), section), 0);
  EXPECT_EQ(lines_of(text.substr(section.size())),
            golden_log::relion_block("  2.7    300.0    0.10  100000.0   14.000",
                                     " 1024       50.0        4.0   10000.0   70000.0  500.0    0.0"));
  const std::string other = written_by([&](FILE* f) { Quib_fput_parameters_ctffind3(f, &p, 0); });
  EXPECT_EQ(other, text);
}

const char* const STAR_LABELS =
    "\ndata_\n\nloop_\n"
    "_rlnMicrographName #1\n_rlnCtfImage #2\n_rlnDefocusU #3\n_rlnDefocusV #4\n_rlnDefocusAngle #5\n"
    "_rlnVoltage #6\n_rlnSphericalAberration #7\n_rlnAmplitudeContrast #8\n_rlnMagnification #9\n"
    "_rlnDetectorPixelSize #10\n_rlnCtfFigureOfMerit #11\n";

// The optics of a row: voltage, Cs and amplitude contrast (the pixel size is not written).
Optics optics(float kV, float Cs, float ac) { return make_optics(kV, Cs, ac, 1.4f); }

TEST(CtfStar, HeadersOfTwelveAndThirteenColumns) {
  EXPECT_EQ(written_by([](FILE* f) { EXPECT_EQ(log_ctfstar_head(f), 0); }), STAR_LABELS);
  EXPECT_EQ(written_by([](FILE* f) { log_ctfstar_ex_head(f); }),
            std::string(STAR_LABELS) + "_rlnFinalResolution #12\n");
  EXPECT_EQ(written_by([](FILE* f) { log_ctfstar_ex_head_phase_shift(f); }),
            std::string(STAR_LABELS) + "_rlnCtfMaxResolution #12\n_rlnPhaseShift #13\n");
}

TEST(CtfStar, RowsWithTheMagnificationOfTheDriver) {
  const float magnification = static_cast<float>(14.0 * 10000.0 / static_cast<double>(1.4f));
  EXPECT_EQ(written_by([&](FILE* f) {
              log_ctfstar_ex_oneline(f, {"a/b.mrcs",
                                         "a/b.ctf",
                                         {21000.5f, 20500.25f, 33.0f, 0.0f},
                                         optics(300.0f, 2.7f, 0.1f),
                                         magnification,
                                         14.0f,
                                         0.123456f,
                                         3.5f});
            }),
            "a/b.mrcs a/b.ctf:mrc 21000.500000 20500.250000    33.000000   300.000000     2.700000     0.100000 "
            "100000.000000    14.000000     0.123456     3.500000\n");
  EXPECT_EQ(written_by([&](FILE* f) {
              log_ctfstar_ex_oneline_phase_shift(f, {"m.mrc",
                                                     "m.ctf",
                                                     {1.0f, 2.0f, 3.0f, 95.5f},
                                                     optics(300.0f, 2.7f, 0.1f),
                                                     magnification,
                                                     14.0f,
                                                     0.5f,
                                                     4.0f});
            }),
            "m.mrc m.ctf:mrc     1.000000     2.000000     3.000000   300.000000     2.700000     0.100000 "
            "100000.000000    14.000000     0.500000     4.000000    95.500000\n");
}

TEST(CtfStar, RowsReadBackThroughTheStarReader) {
  TempDir dir;
  const std::string path = dir.file("all.star");
  FILE* f = fopen(path.c_str(), "w+");
  ASSERT_NE(f, nullptr);
  log_ctfstar_ex_head_phase_shift(f);
  log_ctfstar_ex_oneline_phase_shift(f, {"a/b.mrcs",
                                         "a/b.ctf",
                                         {21000.5f, 20500.25f, 33.0f, 95.5f},
                                         optics(200.0f, 2.7f, 0.07f),
                                         100000.0f,
                                         14.0f,
                                         0.25f,
                                         3.5f});
  log_ctfstar_ex_oneline_phase_shift(f, {"c.mrc",
                                         "c.ctf",
                                         {15000.0f, 16000.0f, 80.0f, 10.0f},
                                         optics(300.0f, 0.01f, 0.1f),
                                         100000.0f,
                                         14.0f,
                                         0.5f,
                                         4.0f});
  fprintf(f, "\n");
  fclose(f);
  const std::vector<std::string> names = get_all_micrographs_from_ctfstar(path.c_str());
  EXPECT_EQ(names, (std::vector<std::string>{"a/b.mrcs", "c.mrc"}));
  const std::vector<CTF_INFO> values = get_all_ctfinfo_from_ctfstar(path.c_str());
  ASSERT_EQ(values.size(), 2u);
  EXPECT_FLOAT_EQ(values[0].defocus_u, 21000.5f);
  EXPECT_FLOAT_EQ(values[0].defocus_v, 20500.25f);
  EXPECT_FLOAT_EQ(values[0].angle, 33.0f);
  EXPECT_FLOAT_EQ(values[0].phase_shift, 95.5f);
  EXPECT_FLOAT_EQ(values[0].kV, 200.0f);
  EXPECT_FLOAT_EQ(values[0].ac, 0.07f);
  EXPECT_FLOAT_EQ(values[1].Cs, 0.01f);
  EXPECT_FLOAT_EQ(values[1].bfactor, 150.0f);
}

}  // namespace
