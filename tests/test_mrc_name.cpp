// Output names made from micrograph names.
#include <gtest/gtest.h>

#include <string>

#include "io/mrc_name.h"
#include "test_util.h"

namespace {

TEST(MrcName, SuffixLengthIsCaseSensitive) {
  const struct {
    const char* name;
    int length;
  } cases[] = {{"x.MRC", 0}, {"x.mrc", 4},     {"x.mrcs", 5}, {".mrc", 4},     {"mrc", 0},
               {"", 0},      {"a.mrc.tif", 0}, {"x.Mrcs", 0}, {"dir.mrc/x", 0}};
  for (const auto& c : cases) EXPECT_EQ(get_micrograph_suffixn(c.name), c.length) << c.name;
}

TEST(MrcName, OutputNameReplacesOnlyTheMrcSuffix) {
  const struct {
    const char* name;
    const char* suffix;
    const char* out;
  } cases[] = {{"a/b.mrc", ".ctf", "a/b.ctf"},
               {"b.mrcs", "_pf.mrc", "b_pf.mrc"},
               {"b.tif", ".ctf", "b.tif.ctf"},
               {"x.MRC", "_quib.log", "x.MRC_quib.log"},
               {"c.mrc", "", "c"}};
  char out[MRC_NAME_BUFFER_SIZE];
  for (const auto& c : cases) {
    memset(out, 'z', sizeof out);
    EXPECT_EQ(set_outname_by_suffix(out, c.name, c.suffix), 0);
    EXPECT_STREQ(out, c.out);
    EXPECT_EQ(out[sizeof out - 1], 0);
  }
}

TEST(MrcName, TooLongANameIsRefusedWithoutOverflow) {
  // Guard bytes on both sides catch a write past the 1024-byte buffer.
  char guarded[MRC_NAME_BUFFER_SIZE + 64];
  char* out = guarded + 32;
  const std::string fits = std::string(1019, 'a') + ".mrc";  // 1019 + ".ctf" = 1023 characters
  const std::string longer = std::string(1020, 'a') + ".mrc";
  const std::string huge = std::string(5000, 'a') + ".mrc";
  memset(guarded, '#', sizeof guarded);
  EXPECT_EQ(set_outname_by_suffix(out, fits.c_str(), ".ctf"), 0);
  EXPECT_EQ(std::string(out), std::string(1019, 'a') + ".ctf");
  for (const std::string& name : {longer, huge}) {
    memset(guarded, '#', sizeof guarded);
    int status = 0;
    const std::string printed =
        captured_stdout([&] { status = set_outname_by_suffix(out, name.c_str(), ".ctf"); });
    EXPECT_EQ(status, -1);
    EXPECT_EQ(out[0], 0);
    EXPECT_NE(printed.find("Output file name too long!"), std::string::npos);
    for (int i = 0; i < 32; ++i) {
      EXPECT_EQ(guarded[i], '#');
      EXPECT_EQ(guarded[sizeof guarded - 1 - i], '#');
    }
  }
}

}  // namespace
