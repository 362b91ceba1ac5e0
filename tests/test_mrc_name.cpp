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
  } cases[] = {{"x.MRC", 0}, {"x.mrc", 4},     {"x.mrcs", 5}, {".mrc", 4},      {"mrc", 0},
               {"", 0},      {"a.mrc.tif", 4}, {"x.Mrcs", 0}, {"dir.mrc/x", 0}, {"x.tiff", 5},
               {"x.TIF", 0}, {"x.tif.gz", 0},  {"x.png", 0}};
  for (const auto& c : cases) EXPECT_EQ(get_micrograph_suffixn(c.name), c.length) << c.name;
  // Where ".mrcs" is kept, every other suffix is still dropped.
  EXPECT_EQ(get_micrograph_suffixn("x.mrcs", StackSuffix::kKept), 0);
  EXPECT_EQ(get_micrograph_suffixn("x.mrc", StackSuffix::kKept), 4);
  EXPECT_EQ(get_micrograph_suffixn("x.tiff", StackSuffix::kKept), 5);
  EXPECT_EQ(mrc_outname("a/x.mrcs", "_EPA.log", StackSuffix::kKept), "a/x.mrcs_EPA.log");
}

TEST(MrcName, OutputNameReplacesOnlyTheMrcOrTiffSuffix) {
  const struct {
    const char* name;
    const char* suffix;
    const char* out;
  } cases[] = {{"a/b.mrc", ".ctf", "a/b.ctf"},
               {"b.mrcs", "_pf.mrc", "b_pf.mrc"},
               {"b.tif", ".ctf", "b.ctf"},
               {"a/b.tiff", "_quib.log", "a/b_quib.log"},
               {"b.png", ".ctf", "b.png.ctf"},
               {"x.MRC", "_quib.log", "x.MRC_quib.log"},
               {"c.mrc", "", "c"}};
  for (const auto& c : cases) EXPECT_EQ(mrc_outname(c.name, c.suffix), c.out);
}

TEST(MrcName, LongNamesAreNeverCut) {
  const std::string huge = std::string(5000, 'a') + ".mrc";
  EXPECT_EQ(mrc_outname(huge.c_str(), ".ctf"), std::string(5000, 'a') + ".ctf");
}

}  // namespace
