// Reading starting CTF values from an input CTF STAR file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ctf_model.h"
#include "io/ctf_star_reader.h"
#include "io/star_micrographs.h"
#include "test_util.h"

namespace {

TEST(CtfStarReader, RowsTakeTheirColumnsOverTheDefaults) {
  TempDir dir;
  const std::string path = write_text_file(
      dir, "in.star",
      "\ndata_\n\nloop_\n_rlnMicrographName #1\n_rlnDefocusU #2\n_rlnDefocusV #3\n_rlnDefocusAngle #4\n"
      "_rlnSphericalAberration #5\n_rlnAmplitudeContrast #6\n_rlnPhaseShift #7\n_rlnBfactor #8\n"
      "a.mrc 21000.5 20000.25 33.5 2.0 0.07 90 80\n"
      "b.mrc 15000 14000 12\n"  // one word too few: ignored
      "\n"
      "c.mrc 0 14000 10 2.7 0.1 0 150\n");
  std::vector<CTF_INFO> records;
  const std::string out = captured_stdout([&] { records = get_all_ctfinfo_from_ctfstar(path.c_str()); });
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(out.find("data row 2 of " + path + " has fewer words than the 8 labels"), std::string::npos) << out;

  const CTF_INFO& a = records[0];
  EXPECT_FLOAT_EQ(a.kV, 300.0f);  // no _rlnVoltage column
  EXPECT_FLOAT_EQ(a.defocus_u, 21000.5f);
  EXPECT_FLOAT_EQ(a.defocus_v, 20000.25f);
  EXPECT_FLOAT_EQ(a.angle, 33.5f);
  EXPECT_FLOAT_EQ(a.Cs, 2.0f);
  EXPECT_FLOAT_EQ(a.ac, 0.07f);
  EXPECT_FLOAT_EQ(a.phase_shift, 90.0f);
  EXPECT_FLOAT_EQ(a.bfactor, 80.0f);
  EXPECT_EQ(ctf2d_to_ctfinit(a).has_init, 1);

  const CTF_INFO& c = records[1];
  EXPECT_FLOAT_EQ(c.kV, 300.0f);
  EXPECT_FLOAT_EQ(c.defocus_u, 0.0f);
  EXPECT_EQ(ctf2d_to_ctfinit(c).has_init, 0);  // searched, not refined

  // The names pair with the records row by row.
  EXPECT_EQ(get_all_micrographs_from_ctfstar(path.c_str()), (std::vector<std::string>{"a.mrc", "c.mrc"}));
}

TEST(CtfStarReader, MissingColumnsKeepTheDefaults) {
  TempDir dir;
  const std::string path =
      write_text_file(dir, "names.star", "data_\nloop_\n_rlnMicrographName #1\n_rlnVoltage #2\nx.mrc 200\ny.mrc 120\n");
  const std::vector<CTF_INFO> records = get_all_ctfinfo_from_ctfstar(path.c_str());
  ASSERT_EQ(records.size(), 2u);
  const CTF_INFO expected = ctf2d_default();
  EXPECT_FLOAT_EQ(records[0].kV, 200.0f);
  EXPECT_FLOAT_EQ(records[1].kV, 120.0f);
  for (const CTF_INFO& r : records) {
    EXPECT_FLOAT_EQ(r.Cs, expected.Cs);
    EXPECT_FLOAT_EQ(r.ac, expected.ac);
    EXPECT_FLOAT_EQ(r.bfactor, expected.bfactor);
    EXPECT_FLOAT_EQ(r.defocus_u, 0.0f);
  }
  // A one-column list of micrographs gives one default record per name.
  const std::string list = write_text_file(dir, "list.star", "loop_\n_rlnMicrographName #1\np.mrc\nq.mrc\n");
  EXPECT_EQ(get_all_ctfinfo_from_ctfstar(list.c_str()).size(), 2u);
}

TEST(CtfStarReader, Relion31RowsTakeWhatTheyLackFromTheirOpticsGroup) {
  TempDir dir;
  // Both tables have five columns, so rows read from the wrong table would pass for micrographs.
  const std::string path = write_text_file(
      dir, "relion31.star",
      "\n# version 30001\n\ndata_optics\n\nloop_\n_rlnOpticsGroupName #1\n_rlnOpticsGroup #2\n_rlnVoltage #3\n"
      "_rlnSphericalAberration #4\n_rlnAmplitudeContrast #5\n"
      "opticsGroup1 1 120.0 1.4 0.2\nopticsGroup2 2 200.0 2.0 0.07\n \n\n"
      "# version 30001\n\ndata_micrographs\n\nloop_\n_rlnMicrographName\n_rlnOpticsGroup\n_rlnDefocusU\n"
      "_rlnDefocusV\n_rlnAmplitudeContrast\n"
      "a.mrc 2 15000 14000 0.15\n"
      "b.mrc 1 16000 15000 0.05\n"
      "c.mrc 3 17000 16000 0.1\n");
  std::vector<CTF_INFO> records;
  const std::string out = captured_stdout([&] { records = get_all_ctfinfo_from_ctfstar(path.c_str()); });
  ASSERT_EQ(records.size(), 3u) << out;
  EXPECT_EQ(get_all_micrographs_from_ctfstar(path.c_str()), (std::vector<std::string>{"a.mrc", "b.mrc", "c.mrc"}));
  const struct {
    float kV, Cs, ac, defocus_u;
  } expected[] = {{200.0f, 2.0f, 0.15f, 15000.0f}, {120.0f, 1.4f, 0.05f, 16000.0f}, {300.0f, 2.7f, 0.1f, 17000.0f}};
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_FLOAT_EQ(records[k].kV, expected[k].kV);
    EXPECT_FLOAT_EQ(records[k].Cs, expected[k].Cs);
    EXPECT_FLOAT_EQ(records[k].ac, expected[k].ac);  // the row's own column wins over its group's
    EXPECT_FLOAT_EQ(records[k].defocus_u, expected[k].defocus_u);
  }
  // Group 3 is not in the optics table: c.mrc keeps the defaults, with a warning.
  EXPECT_NE(out.find("micrograph c.mrc of " + path + " is in optics group 3, which its optics table lacks"),
            std::string::npos)
      << out;
}

TEST(CtfStarReader, BadTablesGiveWarningsNotCrashes) {
  TempDir dir;
  struct Case {
    std::string text;
    size_t records;
    std::string warning;
  };
  const Case cases[] = {
      // A column number past the row is no column: the value stays at its default.
      {"loop_\n_rlnMicrographName #1\n_rlnDefocusU #9\na.mrc 1000\n", 1, ""},
      {"", 0, "has no data row quib can read"},
      {"loop_\n_rlnMicrographName #1\n_rlnDefocusU #2\n", 0, "has no data row quib can read"},
      {"loop_\n_rlnMicrographName #1\n_rlnDefocusU #2\n" + std::string(1100, 'm') + " 9000\n", 1,
       "longer than 1023 characters"},
      // Two files joined end to end: the second table is not read, and not in silence.
      {"data_\nloop_\n_rlnMicrographName #1\n_rlnDefocusU #2\na.mrc 1000\n\ndata_\nloop_\n_rlnMicrographName #1\n"
       "_rlnDefocusU #2\nb.mrc 2000\n",
       1,
       "has more than one table with a _rlnMicrographName column; only the rows of the first (in block data_) are "
       "read"},
  };
  int file = 0;
  for (const Case& c : cases) {
    const std::string path = write_text_file(dir, "bad" + std::to_string(file++) + ".star", c.text);
    std::vector<CTF_INFO> records;
    const std::string out = captured_stdout([&] { records = get_all_ctfinfo_from_ctfstar(path.c_str()); });
    EXPECT_EQ(records.size(), c.records) << c.text;
    if (!c.warning.empty()) {
      EXPECT_NE(out.find(c.warning), std::string::npos) << out;
    }
    if (c.records == 1 && c.warning.empty()) {
      EXPECT_FLOAT_EQ(records[0].defocus_u, 0.0f);
    }
  }
  const std::string missing = dir.file("missing.star");
  EXPECT_EXIT_STDOUT(get_all_ctfinfo_from_ctfstar(missing.c_str()), 1,
                     "Cannot open file .*missing.star. Permission denied or wrong file name.\nError in function "
                     "get_all_ctfinfo_from_ctfstar\\(\\), file ctf_star_reader.cpp on line [0-9]+: open file failed");
}

}  // namespace
