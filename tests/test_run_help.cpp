// The help screens, the tips, the list of valid options and the file-access checks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "param_test_args.h"
#include "run/file_access.h"
#include "run/help.h"
#include "run/option_table.h"
#include "run/tips.h"

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Help, ValidOptionListNamesTheSixtySixOptions) {
  const std::string text = captured_stdout([] { quib_print_valid_options(); });
  const std::vector<std::string> lines = lines_of(text);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], std::string(130, '-'));
  EXPECT_EQ(lines[1], "All valid options:");
  EXPECT_EQ(lines[3], std::string(128, '-'));
  const std::string names =
      "apix kV cs ac phase_shift_L phase_shift_H phase_shift_S phase_shift_T dstep defL defH defS astm bfac resL "
      "resH overlap boxsize convsize do_EPA EPA_oversmp do_Hres_ref Href_resL Href_resH Href_bfac B_resL B_resH "
      "do_mdef_refine mdef_aveN mdef_fit mdef_ave_type do_local_refine refine_local_astm local_radius local_avetype "
      "local_boxsize local_overlap local_resL local_resH do_phase_flip do_validation refine_input_ctf input_ctfstar "
      "defU_init defV_init defA_init ps_init B_init defU_err defV_err defA_err B_err ps_err ctfout_resL ctfout_resH "
      "ctfout_bfac boxsuffix ctfstar logsuffix write_local_ctf do_unfinished skip_check_mrc skip_check_gpu "
      "plot_res_ring gid help";
  std::string expected;
  int count = 0;
  for (size_t start = 0; start < names.size();) {
    size_t end = names.find(' ', start);
    if (end == std::string::npos) end = names.size();
    expected += "--" + names.substr(start, end - start) + "\t ";
    ++count;
    start = end + 1;
  }
  EXPECT_EQ(count, 66);
  EXPECT_EQ(lines[2], expected);
}

TEST(Help, UnlistedOptionsAreParsedButNotShown) {
  const std::string full = captured_stdout([] { quib_search_refine_defocus_help_full("quib"); });
  for (const char* name : {"do_basic_rotave", "refine_after_EPA", "estimate_B", "local_boxtype", "refine_tilt",
                           "init_tilt_ang", "init_tilt_err", "output_time"}) {
    EXPECT_NE(find_quib_option((std::string("--") + name).c_str()), nullptr) << name;
    EXPECT_FALSE(contains(full, std::string("--") + name + " ")) << name;
  }
  for (int k = 0; k + 1 < QUIB_OPTIONS_LISTED; ++k)
    EXPECT_TRUE(contains(full, std::string("   --") + QUIB_OPTIONS[k].name + " ")) << QUIB_OPTIONS[k].name;
}

TEST(Help, ShortHelpUsageOptionsAndExamples) {
  const std::string text = captured_stdout([] { quib_search_refine_defocus_help("/opt/quib"); });
  EXPECT_EQ(text.rfind("\n\033[1m Usage:\033[m          /opt/quib [options] <micrographs>  \n\n", 0), 0u);
  EXPECT_TRUE(contains(text, "   --apix               1.34 "));
  EXPECT_TRUE(contains(text, " Additional options:  \n"));
  EXPECT_TRUE(contains(text, "   --gid                0 "));
  EXPECT_TRUE(contains(text, "\nPhase plate examples:\n   /opt/quib "));
  EXPECT_FALSE(contains(text, "--ctfout_bfac"));
}

TEST(Help, FullHelpEndsWithTheBanner) {
  const std::string banner = captured_stdout([] { quib_put_info("quib"); });
  const std::vector<std::string> lines = lines_of(banner);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.front(), std::string(99, '*'));
  EXPECT_EQ(lines.back(), std::string(99, '*'));
  EXPECT_EQ(lines[1].rfind("Version:       quib v", 0), 0u);
  EXPECT_TRUE(contains(banner,
                       "\nDescription:   This is a GPU accelerated program for Real-Time CTF determination, "
                       "refinement, evaluation and correction.\n"));
  const std::string full = captured_stdout([] { quib_search_refine_defocus_help_full("quib"); });
  ASSERT_GT(full.size(), banner.size());
  EXPECT_EQ(full.substr(full.size() - banner.size()), banner);
  for (const char* tip : QUIB_ALL_TIPS) EXPECT_TRUE(contains(full, tip));
  EXPECT_EQ(captured_stdout([] { quib_put_all_notification(); }), "");
}

TEST(Tips, TwentyThreeDistinctTipsOneShownAtRandom) {
  for (int k = 0; k < QUIB_TIPS_COUNT; ++k) {
    EXPECT_EQ(std::string(QUIB_ALL_TIPS[k]).rfind("\033[1m Tips", 0), 0u) << k;
    for (int j = 0; j < k; ++j) EXPECT_STRNE(QUIB_ALL_TIPS[j], QUIB_ALL_TIPS[k]);
  }
  const std::vector<std::string> lines = lines_of(captured_stdout([] { quib_put_one_random_tip(); }));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(127, '-'));
  EXPECT_EQ(lines[2], std::string(127, '-'));
  bool known = false;
  for (const char* tip : QUIB_ALL_TIPS) known = known || lines[1] == tip;
  EXPECT_TRUE(known) << lines[1];
}

TEST(FileAccess, ModesAreTestedInTurn) {
  TempDir dir;
  const std::string file = dir.file("m.mrc");
  FILE* f = fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fclose(f);
  chmod(file.c_str(), 0644);
  const std::string missing = dir.file("none.mrc");
  struct Case {
    const std::string& name;
    const char* modes;
    int result;
    const char* problem;  // the warning's ending, or null for none
  } cases[] = {{file, "FR", 0, nullptr},
               {file, "fw", 0, nullptr},
               {file, "X", -1, "are NOT executable!"},
               {missing, "FR", -1, "does NOT exist!"},
               {missing, "r", -1, "are NOT readable!"},
               {missing, "w", -1, "are NOT writable!"}};
  for (const Case& c : cases) {
    int result = 0;
    const std::string out = captured_stdout([&] { result = check_file_access(c.name.c_str(), c.modes); });
    EXPECT_EQ(result, c.result) << c.modes;
    if (c.problem) {
      EXPECT_TRUE(contains(out, "\033[43m\033[1m\033[5mWarning in function check_file_access(), file ctf on line "));
      EXPECT_TRUE(contains(out, ": the file " + c.name + " " + c.problem + " Automatically ignored!\033[m\n\n")) << out;
    } else {
      EXPECT_EQ(out, "");
    }
  }
  int result = 0;
  const std::string out = captured_stdout([&] { result = check_file_access(file.c_str(), "fq"); });
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(contains(out, ":  the mode 'q' for checking access of file " + file + " are NOT recoganized!\033[m\n\n"));
}

TEST(FileAccess, FirstReadableMicrographIsOpened) {
  TempDir dir;
  const std::string good = dir.file("good.mrc");
  FILE* f = fopen(good.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("pixels", f);
  fclose(f);
  std::string missing = dir.file("missing.mrc");
  std::string good_copy = good;
  char* names[] = {&missing[0], &good_copy[0]};
  char first[1024] = "";
  FILE* stream = nullptr;
  const std::string out = captured_stdout([&] { EXPECT_EQ(check_access_openf_1st(names, 2, first, &stream), 1); });
  ASSERT_NE(stream, nullptr);
  char text[16] = "";
  EXPECT_NE(fgets(text, sizeof text, stream), nullptr);
  EXPECT_STREQ(text, "pixels");
  fclose(stream);
  EXPECT_STREQ(first, good.c_str());
  EXPECT_TRUE(contains(out, "the micrograph " + missing + " does NOT exsit! Automatically ignored!\033[m\n\n"));
  EXPECT_TRUE(contains(out, "Opening " + good + " for initial test and preperation .......\n"));
}

TEST(FileAccess, NoReadableMicrograph) {
  TempDir dir;
  std::string missing = dir.file("missing.mrc");
  char* names[] = {&missing[0]};
  char first[1024] = "";
  FILE* stream = nullptr;
  EXPECT_EQ(check_access_openf_1st(names, 1, first, &stream), -1);
  EXPECT_EQ(stream, nullptr);
}

}  // namespace
