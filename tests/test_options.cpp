// The command-line parser: option spelling, values of every kind, side effects and the dependent
// values, the output STAR name, and the refusals of bad command lines.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "param_test_args.h"
#include "run/keywords.h"

namespace {

TEST(Keywords, MatchOneOrTwoDashesInAnyCase) {
  struct Case {
    const char* arg;
    const char* name;
    int match;
  } cases[] = {{"-APIX", "apix", 1},  {"--apix", "apix", 1}, {"--Apix", "apix", 1}, {"apix", "apix", 0},
               {"---apix", "apix", 0}, {"--apixx", "apix", 0}, {"-", "apix", 0},     {"--", "apix", 0},
               {"--kv", "kV", 1},      {"-", "", 1}};
  for (const Case& c : cases) EXPECT_EQ(keywd_cmp(c.arg, c.name), c.match) << c.arg << " " << c.name;
  for (const char* help : {"-h", "--h", "-HELP", "--Help"}) EXPECT_TRUE(is_keywd_help(help)) << help;
  for (const char* other : {"help", "---help", "--helps", "-hh"}) EXPECT_FALSE(is_keywd_help(other)) << other;
}

TEST(Options, PixelSizeInAnySpellingAndBareWordsAreMicrographs) {
  for (const char* spelling : {"-APIX", "--apix", "--Apix"}) {
    Args args{spelling, "1.0", "a.mrc"};
    const QUIB_Para p = parsed(args);
    EXPECT_FLOAT_EQ(p.apix, 1.0f) << spelling;
    EXPECT_EQ(p.nfiles, 1);
  }
  Args bare{"apix", "1.0"};
  const QUIB_Para p = parsed(bare);
  EXPECT_FLOAT_EQ(p.apix, 1.34f);
  ASSERT_EQ(p.nfiles, 2);
  EXPECT_EQ(p.nfiles_search, 2);
  EXPECT_STREQ(p.fnames[0], "apix");
  EXPECT_STREQ(p.fnames[1], "1.0");
  EXPECT_EQ(p.fnames[2], nullptr);
  EXPECT_EQ(p.init_ctfs[0].has_init, 0);
}

TEST(Options, BoxsizeSetsConvsizeUnlessConvsizeCameFirst) {
  struct Case {
    Args args;
    int convsize;
  } cases[] = {{{"--boxsize", "512", "a.mrc"}, 85},
               {{"--convsize", "40", "--boxsize", "512", "a.mrc"}, 40},
               {{"--boxsize", "512", "--convsize", "40", "a.mrc"}, 40}};
  for (Case& c : cases) {
    const QUIB_Para p = parsed(c.args);
    EXPECT_EQ(p.boxsize, 512);
    EXPECT_EQ(p.convsize, c.convsize);
    EXPECT_EQ(p.boxsize_set, 1);
  }
}

TEST(Options, BoxsizeZeroLeavesAUsableBoxAndSmoothingBox) {
  Args args{"--boxsize", "0", "a.mrc"};
  std::string printed;
  const QUIB_Para p = parsed(args, &printed);
  EXPECT_EQ(p.boxsize, 1024);
  EXPECT_EQ(p.convsize, 85) << "a zero smoothing box would blank every spectrum";
  EXPECT_NE(printed.find("Warning: --convsize 0 is outside 1 to boxsize/2 = 512; boxsize/12 = 85 pixels is used"),
            std::string::npos)
      << printed;
}

TEST(Options, AnyPhaseShiftOptionTurnsTheSearchOnWithItsDefaults) {
  Args args{"--phase_shift_L", "0", "a.mrc"};
  const QUIB_Para p = parsed(args);
  EXPECT_EQ(p.do_phase_shift, 1);
  EXPECT_EQ(p.ref_control.refine_phase_shift, 1);
  EXPECT_FLOAT_EQ(p.phase_shift_S, 5.0f);
  EXPECT_FLOAT_EQ(p.defL, 1000.0f);
  EXPECT_FLOAT_EQ(p.defH, 70000.0f);
  EXPECT_FLOAT_EQ(p.defS, 200.0f);
  EXPECT_FLOAT_EQ(p.resL, 15.0f);
  EXPECT_EQ(p.boxsize, 512);
  EXPECT_EQ(p.convsize, 25);

  Args given{"--phase_shift_T", "2", "--defL", "3000", "--resL", "30", "--boxsize", "1024", "a.mrc"};
  const QUIB_Para q = parsed(given);
  EXPECT_EQ(q.do_phase_shift, 1);
  EXPECT_FLOAT_EQ(q.defL, 3000.0f);
  EXPECT_FLOAT_EQ(q.resL, 30.0f);
  EXPECT_EQ(q.boxsize, 1024);
  EXPECT_EQ(q.convsize, 51);

  Args refined{"--phase_shift_L", "10", "--refine_input_ctf", "a.mrc"};
  EXPECT_EQ(parsed(refined).do_phase_shift, 0);
  Args none{"a.mrc"};
  EXPECT_EQ(parsed(none).do_phase_shift, 0);
}

TEST(Options, SwitchesTakeOnlyAWholeIntegerAsTheirValue) {
  struct Case {
    Args args;
    int do_EPA;
    std::vector<std::string> files;
  } cases[] = {{{"--do_EPA", "./a.mrc", "b.mrc"}, 1, {"./a.mrc", "b.mrc"}},
               {{"--do_EPA", "/data/a.mrc"}, 1, {"/data/a.mrc"}},
               {{"--do_EPA", "1.mrc", "0"}, 1, {"1.mrc", "0"}},
               {{"--do_EPA", "1.5", "a.mrc"}, 1, {"1.5", "a.mrc"}},
               {{"--do_EPA", "5", "a.mrc"}, 1, {"a.mrc"}},
               {{"--do_EPA", "4294967296", "a.mrc"}, 1, {"a.mrc"}},
               {{"--do_EPA", "-1", "a.mrc"}, 1, {"a.mrc"}},
               {{"--do_EPA", "0", "a.mrc"}, 0, {"a.mrc"}},
               {{"--do_EPA", "+0", "a.mrc"}, 0, {"a.mrc"}},
               {{"--do_EPA", "a.mrc"}, 1, {"a.mrc"}},
               {{"a.mrc", "--do_EPA"}, 1, {"a.mrc"}},
               {{"--do_EPA", "--do_EPA", "0", "a.mrc"}, 0, {"a.mrc"}}};
  for (Case& c : cases) {
    const QUIB_Para p = parsed(c.args);
    EXPECT_EQ(p.do_EPA, c.do_EPA) << c.files[0];
    ASSERT_EQ(p.nfiles, static_cast<int>(c.files.size())) << c.files[0];
    for (size_t k = 0; k < c.files.size(); ++k) EXPECT_STREQ(p.fnames[k], c.files[k].c_str());
  }
  // A sign alone is no integer: it is read as an option and refused.
  EXPECT_EXIT_STDOUT(parse_command_line({"--do_EPA", "-", "a.mrc"}), 1, "Failed to recognize option: -!");
}

TEST(Options, ValuesOfEveryKind) {
  Args args{"--kV", "200", "--boxsize", "768", "--local_resH", "5.9", "--local_resL", "-3.7",
            "--init_tilt_ang", "1e20", "--logsuffix", "_x.log", "--boxsuffix", ".box",
            "--mdef_fit", "--gid", "0", "--estimate_B", "0", "--seed", "99999999999", "a.mrc"};
  const QUIB_Para p = parsed(args);
  EXPECT_FLOAT_EQ(p.kV, 200.0f);
  EXPECT_EQ(p.boxsize, 768);
  EXPECT_EQ(p.convsize, 128);
  EXPECT_FLOAT_EQ(p.local_resH, 5.9f);
  EXPECT_FLOAT_EQ(p.local_resL, -3.7f);
  EXPECT_EQ(p.init_tilt_ang, INT_MAX);
  EXPECT_STREQ(p.logsuffix, "_x.log");
  EXPECT_STREQ(p.boxsuffix, ".box");
  EXPECT_EQ(p.mdef_fit, 1);
  EXPECT_EQ(p.estimate_B, 0);
  EXPECT_EQ(p.seed, INT_MAX);
  EXPECT_EQ(p.nfiles, 1);
}

TEST(Options, DiagnosisResolutionFollowsThePixelSize) {
  struct Case {
    Args args;
    float ctfout_resH;
  } cases[] = {{{"--apix", "1.0", "a.mrc"}, 2.1f},
               {{"--apix", "1.0", "--ctfout_resH", "1.5", "a.mrc"}, 2.1f},
               {{"--apix", "1.0", "--ctfout_resH", "3.5", "a.mrc"}, 3.5f},
               {{"a.mrc"}, 2.0f * 1.34f + 0.1f}};
  for (Case& c : cases) EXPECT_FLOAT_EQ(parsed(c.args).ctfout_resH, c.ctfout_resH);
}

TEST(Options, OutputStarNameAlwaysEndsInStarOrIsNull) {
  struct Case {
    Args args;
    const char* ctfstar;
  } cases[] = {{{"--ctfstar", "out", "a.mrc"}, "out.star"},
               {{"--ctfstar", "out.star", "a.mrc"}, "out.star"},
               {{"--ctfstar", "dir/.star", "a.mrc"}, "dir/.star"},
               {{"--ctfstar", "none", "a.mrc"}, "NULL"},
               {{"--ctfstar", "Null", "a.mrc"}, "NULL"},
               {{"a.mrc"}, "micrographs_all_quib.star"}};
  for (Case& c : cases) {
    const QUIB_Para p = parsed(c.args);
    EXPECT_STREQ(p.ctfstar, c.ctfstar);
    EXPECT_EQ(p.nfiles, 1);
  }
}

TEST(OptionsDeath, CtfstarWithoutAName) {
  EXPECT_EXIT_STDOUT(parse_command_line({"a.mrc", "--ctfstar"}), 1,
      "Error in function quib_set_ctfstar\\(\\), file ctf on line [0-9]+: Can not get file name for ctfstar! "
      "Check input!! Exit now!");
  EXPECT_EXIT_STDOUT(
      parse_command_line({"--ctfstar", "-out", "a.mrc"}),
      1,
      "CRITICAL ERROR: in function quib_set_ctfstar\\(\\), file ctf on line [0-9]+\\. Failed to recognize option: "
      "-out! Exit now\\. Check your input or file names please\\..*All valid options:");
}

TEST(OptionsDeath, UnknownOptionsAndHelpAfterTheFirstArgument) {
  for (const char* option : {"--help", "-h", "--apixx", "---apix"}) {
    EXPECT_EXIT_STDOUT(
        parse_command_line({"a.mrc", option}),
        1,
        std::string("CRITICAL ERROR: in function Quib_get_parameters\\(\\), file ctf on line [0-9]+\\. Failed to "
                    "recognize option: ") +
            option + "! Exit now\\. Check your input please\\..*All valid options:\n--apix\t --kV\t .*--help\t \n-{128}\n");
  }
}

TEST(OptionsDeath, NoMicrographPrintsTheShortHelp) {
  EXPECT_EXIT_STDOUT(
      parse_command_line({"--apix", "1.0"}),
      1, "\nError: No files to be processed.\n\n.* Usage:.*quib \\[options\\] <micrographs>.*Phase plate examples:");
}

TEST(OptionsDeath, ValuedOptionWithoutValue) {
  struct Case {
    const char* option;
  } cases[] = {{"--apix"}, {"--boxsize"}, {"--local_resH"}, {"--logsuffix"}, {"--input_ctfstar"}};
  for (const Case& c : cases) {
    EXPECT_EXIT_STDOUT(
        parse_command_line({"a.mrc", c.option}),
        1,
        std::string("Error in function .*\\(\\), file ctf on line [0-9]+: Can not get value for option ") + c.option +
            "! Check input! Exit now!");
  }
}

TEST(OptionsDeath, TextLongerThanTheBuffersIsRefused) {
  const std::string long_text(1024, 'x');
  EXPECT_EXIT_STDOUT(
      parse_command_line({"--logsuffix", long_text, "a.mrc"}),
      1, "Value of option --logsuffix is longer than 1023 characters! Exit now!");
  EXPECT_EXIT_STDOUT(
      parse_command_line({"--ctfstar", std::string(1019, 'y'), "a.mrc"}),
      1, "File name for ctfstar is too long! Exit now!");
  EXPECT_EXIT_STDOUT(
      parse_command_line({std::string(5000, 'z') + ".mrc"}),
      1, "File name of 5004 characters is longer than 1023: z+\\.\\.\\.\n.*File name too long! Exit now!");
  // The longest accepted names fill the buffers exactly.
  Args fits{"--ctfstar", std::string(1018, 'y'), "--logsuffix", std::string(1023, 'x'), std::string(1023, 'm')};
  const QUIB_Para p = parsed(fits);
  EXPECT_EQ(std::string(p.ctfstar), std::string(1018, 'y') + ".star");
  EXPECT_EQ(strlen(p.logsuffix), 1023u);
  EXPECT_EQ(strlen(p.fnames[0]), 1023u);
}

TEST(OptionsDeath, NumbersThatAreNotFiniteAreRefused) {
  for (const char* value : {"nan", "inf", "-inf", "1e39"}) {
    EXPECT_EXIT_STDOUT(
        parse_command_line({"--defS", value, "a.mrc"}),
        1, "Invalid value for option --defS: not a finite number! Exit now!");
  }
}

TEST(Options, GpuTestRunsUnlessSkipped) {
  Args skipped{"--gid", "7", "--skip_check_gpu", "a.mrc"};
  EXPECT_EQ(parsed(skipped).gid, 7);
  // Without the switch a device that does not exist is replaced by the best one present.
  Args tested{"--gid", "7", "a.mrc"};
  EXPECT_NE(parsed(tested).gid, 7);
}

TEST(Options, RecordOwnsItsBuffersUntilReleased) {
  Args args{"--logsuffix", "_r.log", "a.mrc", "b.mrc", "c.mrc"};
  QUIB_Para first = parsed(args);
  const char* log_buffer = first.logsuffix;
  QUIB_Para moved = std::move(first);
  EXPECT_EQ(moved.logsuffix, log_buffer) << "moving the record keeps its buffers in place";
  EXPECT_STREQ(moved.logsuffix, "_r.log");
  ASSERT_EQ(moved.nfiles, 3);
  EXPECT_STREQ(moved.fnames[2], "c.mrc");
  EXPECT_NE(static_cast<const void*>(moved.fnames[0]), static_cast<const void*>(args.argv()[3]))
      << "names are the record's own copies";
  Quib_release_parameters(&moved);
  EXPECT_EQ(moved.logsuffix, nullptr);
  EXPECT_EQ(moved.fnames, nullptr);
  EXPECT_EQ(moved.nfiles, 0);
}

TEST(Options, FileListCapacityGrowsWithTheInputStarFile) {
  TempDir dir;
  const std::string star = dir.file("in.star");
  FILE* f = fopen(star.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("data_\nloop_\n_rlnMicrographName #1\n_rlnDefocusU #2\n_rlnDefocusV #3\na.mrc 1 2\nb.mrc 3 4\n", f);
  fclose(f);
  Args plain{"a.mrc", "b.mrc"};
  EXPECT_EQ(quib_get_fnumber_max(plain.argc(), plain.argv()), 3);
  Args with_star{"--input_ctfstar", star, "a.mrc"};
  EXPECT_EQ(quib_get_fnumber_max(with_star.argc(), with_star.argv()), 4 + 1 + 2);
  Args null_star{"--input_ctfstar", "NONE", "a.mrc"};
  EXPECT_EQ(quib_get_fnumber_max(null_star.argc(), null_star.argv()), 4);
}

}  // namespace
