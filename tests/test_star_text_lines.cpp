// Line reading, word splitting, null names, bounded copies, suffixes and line search.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/text_lines.h"
#include "core/text_number.h"
#include "test_util.h"

namespace {

FilePtr memory_stream(const std::string& text) {
  return FilePtr(fmemopen(const_cast<char*>(text.data()), text.size(), "r"));
}

std::vector<std::string> words_of(char** words, int count) { return std::vector<std::string>(words, words + count); }

TEST(TextLines, LongLineIsReadIn1023CharacterPiecesWithoutOverflow) {
  const std::string text = std::string(1500, 'a') + "\nshort\n";
  FilePtr stream = memory_stream(text);
  char line[TEXT_LINE_SIZE + 8];
  memset(line, 'z', sizeof line);
  empty_line(line);
  EXPECT_EQ(line[TEXT_LINE_SIZE - 1], '\0');
  EXPECT_EQ(line[TEXT_LINE_SIZE], 'z');  // exactly 1024 bytes cleared

  EXPECT_EQ(read_one_line(line, stream.get()), LINE_CUT);
  EXPECT_EQ(strlen(line), 1023u);
  EXPECT_EQ(line[TEXT_LINE_SIZE], 'z');
  EXPECT_EQ(read_one_line(line, stream.get()), LINE_WHOLE);
  EXPECT_EQ(std::string(line), std::string(477, 'a') + "\n");
  EXPECT_EQ(read_one_line(line, stream.get()), LINE_WHOLE);
  EXPECT_STREQ(line, "short\n");
  EXPECT_EQ(read_one_line(line, stream.get()), LINE_END);
  EXPECT_STREQ(line, "short\n");  // left as it was
}

TEST(TextLines, LastLineWithoutBreakIsWhole) {
  const std::string text = std::string(1023, 'b');
  FilePtr stream = memory_stream(text);
  char line[TEXT_LINE_SIZE];
  empty_line(line);
  EXPECT_EQ(read_one_line(line, stream.get()), LINE_WHOLE);
  EXPECT_EQ(strlen(line), 1023u);
}

TEST(TextLines, SplitsAtRunsOfDelimiters) {
  struct Case {
    const char* text;
    const char* delimiters;
    int max;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"  a  b\tc\n", TEXT_WHITE_SPACE, 10, {"a", "b", "c"}},
      {"  a  b\tc\n", TEXT_WHITE_SPACE, 2, {"a", "b"}},
      {",,x,,y,", ",", 10, {"x", "y"}},
      {"one", ",", 10, {"one"}},
      {"a\vb\fc\rd", TEXT_WHITE_SPACE, 10, {"a", "b", "c", "d"}},
      {"a\vb c", " \t\n\r", 10, {"a\vb", "c"}},
      {"", " ", 10, {}},
      {" \t\n", TEXT_WHITE_SPACE, 10, {}},
      {"a b", "", 10, {}},
      {"a b", " ", 0, {}},
  };
  for (const Case& c : cases) {
    std::string copy = c.text;
    char* words[16];
    const int count = strnsplit_inplace(&copy[0], c.delimiters, words, c.max);
    EXPECT_EQ(words_of(words, count), c.expected) << "text \"" << c.text << "\" max " << c.max;
  }
  char* words[4];
  EXPECT_EQ(strnsplit_inplace(nullptr, " ", words, 4), 0);
  EXPECT_EQ(strnsplit_inplace_byspace(nullptr, words, 4), 0);
}

TEST(TextLines, UnboundedAndCopyingSplitsKeepTheirWords) {
  std::string inplace = "a b c d e";
  char* words[5];
  EXPECT_EQ(strsplit_inplace_byspace(&inplace[0], words), 5);
  EXPECT_STREQ(words[4], "e");

  const std::string original = "x;y;;z";
  SplitText split = strsplit(original.c_str(), ";", words);
  EXPECT_EQ(original, "x;y;;z");  // the caller's text is untouched
  EXPECT_EQ(words_of(words, split.count), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_GE(words[0], split.text.get());

  split = strnsplit_byspace(" p q r ", words, 2);
  EXPECT_EQ(words_of(words, split.count), (std::vector<std::string>{"p", "q"}));
  split = strsplit_byspace("m\tn", words);
  EXPECT_EQ(words_of(words, split.count), (std::vector<std::string>{"m", "n"}));
  split = strnsplit("u,v,w", ",", words, 3);
  EXPECT_EQ(split.count, 3);
}

TEST(TextLines, NullWordArrayIsReportedByName) {
  std::string text = "a b";
  EXPECT_EQ(captured_stdout([&] { EXPECT_EQ(strnsplit_inplace(&text[0], " ", nullptr, 2), 0); }),
            "Error in function strnsplit()!Memory for 'dest' not allocated.\n");
  EXPECT_EQ(captured_stdout([&] { EXPECT_EQ(strsplit("a b", " ", nullptr).count, 0); }),
            "Error in function strsplit()!Memory for 'dest' not allocated.\n");
  EXPECT_EQ(captured_stdout([&] { EXPECT_EQ(strsplit_byspace("a b", nullptr).count, 0); }),
            "Error in function strsplit_byspace()!Memory for 'dest' not allocated.\n");
  EXPECT_EXIT_STDOUT(strnsplit_byspace("a b", nullptr, 2), 1,
                     "strnsplit\\(\\)!Memory for 'dest' not allocated\\.\nError in function strnsplit_byspace\\(\\)");
}

TEST(TextLines, NullNames) {
  struct Case {
    const char* text;
    int expected;
  };
  const Case cases[] = {{nullptr, 1}, {"", 1},      {"\n", 1},     {"\nabc", 1}, {"none", 1},
                        {"Null", 1},  {"NONE", 1},  {"nULl", 1},   {"nul", 0},   {"NULLx", 0},
                        {"none\n", 0}, {" none", 0}, {"a.mrc", 0}, {"nonE", 1}};
  for (const Case& c : cases) EXPECT_EQ(is_str_null(c.text), c.expected) << (c.text ? c.text : "(null)");
}

TEST(TextLines, BoundedCopyClearsAndRefusesLongText) {
  char buffer[TEXT_LINE_SIZE];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(strlcpy(buffer, "ab"), 0);
  EXPECT_STREQ(buffer, "ab");
  for (int i = 2; i < TEXT_LINE_SIZE; ++i) ASSERT_EQ(buffer[i], '\0') << i;

  const std::string longest(1023, 'n');
  EXPECT_EQ(strlcpy(buffer, longest.c_str()), 0);
  EXPECT_EQ(std::string(buffer), longest);

  const std::string too_long(1024, 'n');
  const std::string out = captured_stdout([&] { EXPECT_EQ(strlcpy(buffer, too_long.c_str()), -1); });
  EXPECT_NE(out.find("Warning in function strlcpy(), file text_lines.cpp"), std::string::npos) << out;
  EXPECT_NE(out.find("1024 characters"), std::string::npos) << out;
  EXPECT_STREQ(buffer, "");
}

TEST(TextLines, IntegersReadLikeCButHeldToRange) {
  struct Case {
    const char* text;
    int expected;
  };
  const Case cases[] = {{"12.7", 12},         {"-3x", -3},        {"abc", 0},        {"  +5", 5},
                        {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}, {"", 0}, {"0x10", 0}};
  for (const Case& c : cases) EXPECT_EQ(text_to_int(c.text), c.expected) << c.text;
}

TEST(TextLines, Malloc2dLaysRowsAfterTheirPointers) {
  const size_t rows = 3, columns = 5;
  float** table = reinterpret_cast<float**>(malloc2d(rows, columns, sizeof(float)));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(reinterpret_cast<char*>(table[0]), reinterpret_cast<char*>(table) + rows * sizeof(void*));
  for (size_t r = 0; r < rows; ++r) {
    EXPECT_EQ(table[r], table[0] + r * columns);
    for (size_t c = 0; c < columns; ++c) table[r][c] = static_cast<float>(10 * r + c);
  }
  EXPECT_EQ(table[2][4], 24.0f);
  free(table);

  const std::string out = captured_stdout([] { EXPECT_EQ(malloc2d(SIZE_MAX / 4, SIZE_MAX / 4, 8), nullptr); });
  EXPECT_EQ(out, "Function 'malloc()' error in 'malloc2d()' ! Not enough memory!\n");
}

TEST(TextLines, FindsTheFirstLineHoldingAText) {
  const std::string text = "alpha\nbeta one\ngamma beta\n";
  FilePtr stream = memory_stream(text);
  char line[TEXT_LINE_SIZE];
  EXPECT_EQ(FILE_find_str_line(stream.get(), "beta"), 6);
  read_one_line(line, stream.get());
  EXPECT_STREQ(line, "beta one\n");
  EXPECT_EQ(FILE_find_str_line(stream.get(), "delta"), -1);
  EXPECT_EQ(FILE_Nfind_str_line(stream.get(), "beta", 0), -1);
  EXPECT_EQ(FILE_Nfind_str_line(stream.get(), "beta", 1), 6);
  EXPECT_EQ(FILE_Nfind_str_line(stream.get(), "gamma", 1), -1);
  EXPECT_EQ(FILE_Nfind_str_line(stream.get(), "gamma", 2), 15);

  TempDir dir;
  const std::string path = dir.file("lines.txt");
  FILE* f = fopen(path.c_str(), "w");
  fputs(text.c_str(), f);
  fclose(f);
  EXPECT_EQ(f_Nfind_str_line(path.c_str(), "gamma", 2), 3);
  EXPECT_EQ(f_Nfind_str_line(path.c_str(), "gamma", 1), -1);
  EXPECT_EQ(f_Nfind_str_line(path.c_str(), "alpha", 0), 1);
  const std::string missing = dir.file("missing.txt");
  EXPECT_EXIT_STDOUT(f_Nfind_str_line(missing.c_str(), "x", 3), 1,
                     "Cannot open file .*missing.txt. Permission denied or wrong file name.\nError in function "
                     "f_Nfind_str_line\\(\\), file text_lines.cpp on line [0-9]+: open file failed.! Exit now!");
}

TEST(TextLines, FileSuffixes) {
  EXPECT_EQ(get_file_suffixn("a.mrc", ".mrc"), 4);
  EXPECT_EQ(get_file_suffixn(".mrc", ".mrc"), 0);
  EXPECT_EQ(get_file_suffixn("a.mrcs", ".mrc"), 0);
  EXPECT_EQ(get_file_suffixn("c", ".mrc"), 0);

  char out[TEXT_LINE_SIZE];
  EXPECT_EQ(replace_file_suffix(out, "_EPA.log", "dir/b.mrc", ".mrc"), 0);
  EXPECT_STREQ(out, "dir/b_EPA.log");
  EXPECT_EQ(replace_file_suffix(out, "_EPA.log", "b.mrcs", ".mrc"), 0);
  EXPECT_STREQ(out, "b.mrcs_EPA.log");

  const std::string name = std::string(1016, 'd') + ".mrc";  // 1016 + 8 = 1024 characters
  const std::string printed =
      captured_stdout([&] { EXPECT_EQ(replace_file_suffix(out, "_EPA.log", name.c_str(), ".mrc"), -1); });
  EXPECT_NE(printed.find("Warning in function replace_file_suffix()"), std::string::npos) << printed;
  EXPECT_STREQ(out, "");
  const std::string fits = std::string(1015, 'd') + ".mrc";
  EXPECT_EQ(replace_file_suffix(out, "_EPA.log", fits.c_str(), ".mrc"), 0);
  EXPECT_EQ(strlen(out), 1023u);
}

TEST(TextNumber, OnlyWholeWordsOfFiniteFloatsAreNumbers) {
  const struct {
    const char* word;
    bool number;
    float value;
  } cases[] = {
      {"21000.5", true, 21000.5f},
      {"-3.25e2", true, -325.0f},
      {"+12", true, 12.0f},
      {".5", true, 0.5f},
      {"7.", true, 7.0f},
      {"17,000", false, 0},
      {"12abc", false, 0},
      {"nan", false, 0},
      {"-inf", false, 0},
      {"Infinity", false, 0},
      {"1e39", false, 0},
      {"0x10", false, 0},
      {"", false, 0},
      {"+", false, 0},
      {"+-1", false, 0},
      {" 5", false, 0},
  };
  for (const auto& c : cases) {
    float value = -1.0f;
    EXPECT_EQ(text_to_finite_float(c.word, &value), c.number) << c.word;
    EXPECT_FLOAT_EQ(value, c.number ? c.value : -1.0f) << c.word;
  }
  // The same float as a C conversion gives, for the bit-identical reading of good files.
  for (const char* word : {"0.1", "14900.000000", "2.7", "93333.335938", "1e-7"}) {
    float value = 0.0f;
    ASSERT_TRUE(text_to_finite_float(word, &value));
    EXPECT_EQ(value, static_cast<float>(atof(word))) << word;
  }
}

}  // namespace
