// Micrographs with starting CTF values from an input CTF STAR file: their place in the file
// list, their values and flags, the phase-shift refinement switch and the echo of both lists.
#include <gtest/gtest.h>

#include <string>

#include "param_test_args.h"
#include "run/echo.h"
#include "run/init_ctf_list.h"

namespace {

// A CTF STAR file whose header starts after `blank_lines` empty lines.
std::string write_star(const TempDir& dir, int blank_lines, bool with_phase_shift) {
  const std::string path = dir.file("input.star");
  FILE* f = fopen(path.c_str(), "w");
  for (int k = 0; k < blank_lines; ++k) fputs("\n", f);
  fputs("data_\nloop_\n_rlnMicrographName #1\n_rlnDefocusU #2\n_rlnDefocusV #3\n_rlnDefocusAngle #4\n", f);
  fputs(with_phase_shift ? "_rlnPhaseShift #5\n" : "_rlnBfactor #5\n", f);
  fputs("s1.mrc 21000 20000 30 45\ns2.mrc 0 20000 10 0\ns3.mrc 18000\ns4.mrc 15000 16000 5 90\n", f);
  fclose(f);
  return path;
}

TEST(InputCtfStar, RowsFollowTheCommandLineMicrographs) {
  TempDir dir;
  const std::string star = write_star(dir, 0, true);
  Args args{"--refine_input_ctf", "--input_ctfstar", star, "a.mrc", "--phase_shift_L", "20"};
  const QUIB_Para p = parsed(args);
  EXPECT_EQ(p.input_ctfstar_set, 1);
  EXPECT_STREQ(p.input_ctfstar, star.c_str());
  ASSERT_EQ(p.nfiles, 4);
  EXPECT_EQ(p.nfiles_search, 1);
  EXPECT_EQ(p.nfiles_refine, 3);
  const char* names[] = {"a.mrc", "s1.mrc", "s2.mrc", "s4.mrc"};
  for (int k = 0; k < 4; ++k) EXPECT_STREQ(p.fnames[k], names[k]);
  EXPECT_EQ(p.fnames[4], nullptr);
  EXPECT_EQ(p.init_ctfs[0].has_init, 0);
  const CTF_INIT& s1 = p.init_ctfs[1];
  EXPECT_EQ(s1.has_init, 1);
  EXPECT_FLOAT_EQ(s1.defocus_u, 21000.0f);
  EXPECT_FLOAT_EQ(s1.defocus_v, 20000.0f);
  EXPECT_FLOAT_EQ(s1.angle, 30.0f);
  EXPECT_FLOAT_EQ(s1.phase_shift, 45.0f);
  EXPECT_FLOAT_EQ(s1.kV, 300.0f);
  EXPECT_FLOAT_EQ(s1.bfactor, 150.0f);
  EXPECT_EQ(p.init_ctfs[2].has_init, 0) << "defocus U 0: searched, not refined";
  EXPECT_EQ(p.init_ctfs[3].has_init, 1);
  EXPECT_FLOAT_EQ(p.init_ctfs[3].phase_shift, 90.0f);
  EXPECT_EQ(p.refine_input_ps, 1);
  EXPECT_EQ(p.do_phase_shift, 0) << "refining given values replaces the phase-shift search";

  const std::string echo = captured_stdout([&] { Quib_put_parameters(args.argc(), args.argv(), &p); });
  EXPECT_NE(echo.find("\nAll 1 files to be searched and refined:\n        a.mrc\n"
                      "All 3 files to be refined:\n        s1.mrc\n        s2.mrc\n        s4.mrc\n"),
            std::string::npos);
}

TEST(InputCtfStar, PhaseShiftIsRefinedOnlyWhenItsLabelIsAmongTheFirst99Lines) {
  struct Case {
    int blank_lines;
    bool with_phase_shift;
    int refine_input_ps;
  } cases[] = {{0, true, 1}, {0, false, 0}, {92, true, 1}, {93, true, 0}};
  for (const Case& c : cases) {
    TempDir dir;
    const std::string star = write_star(dir, c.blank_lines, c.with_phase_shift);
    Args args{"--refine_input_ctf", "--input_ctfstar", star};
    const QUIB_Para p = parsed(args);
    EXPECT_EQ(p.nfiles, 3);
    EXPECT_EQ(p.refine_input_ps, c.refine_input_ps) << c.blank_lines;
  }
}

TEST(InputCtfStar, TheLastNameGivenCountsAndNullNamesNoFile) {
  TempDir dir;
  const std::string star = write_star(dir, 0, true);
  struct Case {
    Args args;
    int set;
    int nfiles;
  } cases[] = {{{"--input_ctfstar", "none", "a.mrc"}, 0, 1},
               {{"--input_ctfstar", star, "--input_ctfstar", "NULL", "a.mrc"}, 0, 1},
               {{"--input_ctfstar", "NONE", "--input_ctfstar", star, "a.mrc"}, 1, 4}};
  for (Case& c : cases) {
    const QUIB_Para p = parsed(c.args);
    EXPECT_EQ(p.input_ctfstar_set, c.set);
    EXPECT_EQ(p.nfiles, c.nfiles);
    EXPECT_EQ(p.nfiles_refine, c.nfiles - 1);
  }
}

TEST(InputCtfStarDeath, MissingFileEndsTheRun) {
  EXPECT_EXIT_STDOUT(parse_command_line({"--input_ctfstar", "/nonexistent/in.star", "a.mrc"}), 1,
                     "Cannot open file /nonexistent/in.star. Permission denied or wrong file name.\n.*open file "
                     "failed.! Exit now!");
}

}  // namespace
