// STAR tables: header parsing, row positioning and counting, the label index, micrograph names
// and the per-particle writer.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/ctf_model.h"
#include "core/text_lines.h"
#include "io/star_head.h"
#include "io/star_index.h"
#include "io/star_labels.h"
#include "io/star_micrographs.h"
#include "io/star_rows.h"
#include "io/star_writer.h"
#include "test_util.h"

namespace {

// A read-only stream over a copy of the text.
struct TextStream {
  explicit TextStream(std::string t) : text(std::move(t)), stream(fmemopen(&text[0], text.size(), "r")) {}
  FILE* get() const { return stream.get(); }
  std::string text;
  FilePtr stream;
};

std::string next_line(FILE* stream) {
  char line[TEXT_LINE_SIZE];
  empty_line(line);
  read_one_line(line, stream);
  return line;
}

const char* const kFourLineHeader = "data_\nloop_\n_rlnMicrographName #1\n_rlnDefocusU #2\n";

TEST(StarLabels, TableHoldsItsLabelsInOrder) {
  EXPECT_STREQ(STAR_LABELS[0], "_rlnComment");
  EXPECT_STREQ(STAR_LABELS[STAR_LABEL_COUNT - 1], "_rlnSpectralIndex");
  int dimensionality = 0;
  for (const char* label : STAR_LABELS) dimensionality += strcmp(label, "_rlnDataDimensionality") == 0;
  EXPECT_EQ(dimensionality, 2);
  EXPECT_EQ(is_star_head_keyword("_rlnCoordinateX"), 1);
  EXPECT_EQ(is_star_head_keyword("_rlnCorrectedFourierShellCorrelationPhaseRandomizedMaskedMaps"), 1);
  EXPECT_EQ(is_star_head_keyword("_rlncoordinatex"), 0);
  EXPECT_EQ(is_star_head_keyword("_rlnMyOwnLabel"), 0);
  EXPECT_EQ(is_star_head_keyword(""), 0);
}

TEST(StarHead, FourLineHeaderThenRows) {
  TextStream t(std::string(kFourLineHeader) + "mic1.mrc 10000\nmic2.mrc 12000\n");
  std::unique_ptr<StarHead> head = star_head_new();
  EXPECT_EQ(star_read_head(t.get(), head.get()), 0);
  ASSERT_EQ(head->count, 2);
  EXPECT_STREQ(head->label[0], "_rlnMicrographName");
  EXPECT_STREQ(head->label[1], "_rlnDefocusU");
  EXPECT_EQ(head->column[0], 1);
  EXPECT_EQ(head->column[1], 2);
  EXPECT_EQ(head->column[2], 0);

  star_set_pointer(t.get(), 0);
  EXPECT_EQ(next_line(t.get()), "mic1.mrc 10000\n");
  star_set_pointer(t.get(), 1);
  EXPECT_EQ(next_line(t.get()), "mic2.mrc 12000\n");
  EXPECT_EQ(get_lineN_from_star(t.get()), 2);
}

TEST(StarHead, ColumnNumbersComeFromTheirHashWords) {
  TextStream t("\n data_ \n\nloop_\n_rlnDefocusV #7\n_rlnDefocusU\t#x\n_rlnVoltage #12 trailing\nrow\n");
  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head(t.get(), head.get());
  ASSERT_EQ(head->count, 3);
  EXPECT_EQ(head->column[0], 7);
  EXPECT_EQ(head->column[1], 0);   // no digits after "#"
  EXPECT_EQ(head->column[2], 12);  // words after the second are not looked at
}

TEST(StarHead, UnknownLabelsCommentsAndLabelsWithoutNumbersAreReadOnlyTooLongOnesWarn) {
  struct Case {
    std::string text;
    int labels;
    std::string warning;  // empty: none expected
  };
  const Case cases[] = {
      {"loop_\n_rlnMicrographName #1\n_rlnMyOwnLabel #2\n_rlnDefocusU #3\na b c\n", 3, ""},
      {"# version 30001\ndata_\nloop_\n_rlnMicrographName #1\nm\n", 1, ""},
      {"loop_\n_rlnMicrographName\n_rlnDefocusU #2\n", 2, ""},
      {"loop_\n_rln" + std::string(296, 'L') + " #1\nrow\n", 1, "a label of 300 characters"},
      {std::string(kFourLineHeader) + "mic1.mrc 10000\n", 2, ""},
      {"", 0, ""},
  };
  for (const Case& c : cases) {
    TextStream t(c.text);
    std::unique_ptr<StarHead> head = star_head_new();
    const std::string out = captured_stdout([&] { star_read_head(t.get(), head.get(), "in.star"); });
    EXPECT_EQ(head->count, c.labels) << c.text;
    if (c.warning.empty()) {
      EXPECT_EQ(out, "") << c.text;
    } else {
      EXPECT_NE(out.find("Warning in function star_read_head(), file star_head.cpp"), std::string::npos) << out;
      EXPECT_NE(out.find("in.star"), std::string::npos) << out;
      EXPECT_NE(out.find(c.warning), std::string::npos) << out;
    }
    EXPECT_EQ(captured_stdout([&] { star_read_head(t.get(), head.get()); }), "");  // silent without a path
  }
}

TEST(StarHead, MoreLabelsThanTheTableHoldsAreCutWithAWarning) {
  std::string text = "data_\nloop_\n";
  for (int i = 0; i < 600; ++i)
    text += std::string(STAR_LABELS[i % STAR_LABEL_COUNT]) + " #" + std::to_string(i + 1) + "\n";
  std::string row;
  for (int i = 0; i < 600; ++i) row += "1 ";
  text += row + "\n" + row + "\n";
  TextStream t(text);
  std::unique_ptr<StarHead> head = star_head_new();
  const std::string out = captured_stdout([&] { star_read_head(t.get(), head.get(), "wide.star"); });
  EXPECT_EQ(head->count, STAR_MAX_LABELS - 2);  // the 512 lines examined include data_ and loop_
  EXPECT_EQ(head->column[STAR_MAX_LABELS - 3], STAR_MAX_LABELS - 2);
  EXPECT_NE(out.find("more than 512 lines"), std::string::npos) << out;
  // No row matches the labels read, so none is usable. Each 1200-character row is read as two
  // lines, and every line counts.
  EXPECT_EQ(star_read_all_micrographs(t.get()).size(), 0u);
  EXPECT_EQ(get_lineN_from_star(t.get()), 4);
}

TEST(StarTables, TablesAreFoundByLabelOrBlockAndTheirRowsEndAtTheNextTable) {
  // Every table's rows have two words, so rows read past a table's end would pass for its own.
  const std::string text =
      "# version 30001\ndata_optics\nloop_\n_rlnOpticsGroup\n_rlnVoltage #2\n1 300\n2 200\n\n"
      "data_micrographs\nloop_\n_rlnMicrographName\n# a comment\n_rlnOpticsGroup\n"
      "data_7/m1.mrc 1\n# another\nm2.mrc 2\n"
      "loop_\n_rlnMicrographName\n_rlnDefocusU\nx.mrc 5\n";
  TextStream t(text);
  std::unique_ptr<StarHead> head = star_head_new();
  EXPECT_EQ(star_read_head_with(t.get(), "_rlnMicrographName", head.get()), 1);
  EXPECT_STREQ(head->block, "micrographs");
  ASSERT_EQ(head->count, 2);
  EXPECT_EQ(head->column[0], 1);
  EXPECT_EQ(head->column[1], 2);
  EXPECT_EQ(star_read_all_micrographs(t.get()), (std::vector<std::string>{"data_7/m1.mrc", "m2.mrc"}));

  star_read_head(t.get(), head.get());
  EXPECT_STREQ(head->block, "optics");
  EXPECT_EQ(head->column[1], 2);
  EXPECT_EQ(star_read_head_of_block(t.get(), "optics", head.get()), 1);
  EXPECT_STREQ(head->label[0], "_rlnOpticsGroup");
  EXPECT_EQ(star_read_head_of_block(t.get(), "particles", head.get()), 0);
  EXPECT_EQ(head->count, 0);
  EXPECT_EQ(head->rows_at, static_cast<long>(text.size()));
  EXPECT_EQ(star_read_head_with(t.get(), "_rlnCoordinateX", head.get()), 0);
  EXPECT_STREQ(head->block, "optics") << "without the label, the first table";
  star_set_pointer(t.get(), 1);
  EXPECT_EQ(next_line(t.get()), "2 200\n");
  star_set_pointer(t.get(), 2);
  EXPECT_EQ(ftell(t.get()), static_cast<long>(text.size())) << "the first table has two rows";

  // The row count bounds the rows of later tables too, even after a table without rows.
  EXPECT_GE(get_lineN_from_star(t.get()), 3);
  TextStream empty_first("data_a\nloop_\n_rlnVoltage\ndata_b\nloop_\n_rlnMicrographName\nm.mrc\n");
  EXPECT_EQ(star_read_all_micrographs(empty_first.get()), (std::vector<std::string>{"m.mrc"}));
  EXPECT_GE(get_lineN_from_star(empty_first.get()), 1);
}

TEST(StarRows, PositioningPastTheEndStandsAtTheEnd) {
  const std::string rows = std::string(kFourLineHeader) + "m1 1\nm2 2\nm3 3\n";
  TextStream t(rows);
  star_set_pointer(t.get(), 5);
  EXPECT_EQ(ftell(t.get()), static_cast<long>(rows.size()));
  star_set_pointer(t.get(), 0);
  star_set_next_line(t.get());
  EXPECT_EQ(next_line(t.get()), "m2 2\n");
  star_set_pointer(t.get(), 2);
  EXPECT_EQ(next_line(t.get()), "m3 3\n");

  // Without a final line break the last row is still found, and a header-only file has no row 0.
  TextStream no_break(std::string(kFourLineHeader) + "m1 1\nm2 2");
  star_set_pointer(no_break.get(), 1);
  EXPECT_EQ(next_line(no_break.get()), "m2 2");
  TextStream header_only("data_\nloop_\n_rlnCoordinateX #1\n_rlnCoordinateY #2");
  star_set_pointer(header_only.get(), 0);
  EXPECT_EQ(ftell(header_only.get()), static_cast<long>(header_only.text.size()));
  EXPECT_EQ(get_lineN_from_star(header_only.get()), 0);
}

TEST(StarRows, RowCounts) {
  struct Case {
    std::string text;
    int rows;
  };
  const Case cases[] = {
      {kFourLineHeader, 0},
      {"", 0},
      {std::string(kFourLineHeader) + "m1 1\n\n   \nm2 2\n\nm3 3\n", 3},
      {std::string(kFourLineHeader) + "m1 1\nshort\nm2 2 extra\n", 3},  // any word count counts
      {"loop_\n_rlnMicrographName #1\na.mrc\n  \nb.mrc\n\n", 3},        // blanks count in one column
      {"m1 1\nm2 2\n", 2},                                              // no header at all
  };
  for (const Case& c : cases) {
    TextStream t(c.text);
    EXPECT_EQ(get_lineN_from_star(t.get()), c.rows) << c.text;
  }
  TempDir dir;
  const std::string path = dir.file("rows.star");
  FILE* f = fopen(path.c_str(), "w");
  fputs(cases[2].text.c_str(), f);
  fclose(f);
  EXPECT_EQ(get_lineN_from_starf(path.c_str()), 3);
  const std::string missing = dir.file("none.star");
  EXPECT_EXIT_STDOUT(get_lineN_from_starf(missing.c_str()), 1,
                     "Cannot open file .*none.star. Permission denied or wrong file name.\nError in function "
                     "get_lineN_from_starf\\(\\), file star_rows.cpp on line [0-9]+: open file failed.! Exit now!");
}

TEST(StarRows, HeaderLineTest) {
  const char* label[] = {"_rlnDefocusU", "#3", "x"};
  const char* data[] = {"data_optics"};
  const char* loop[] = {"loop_", "a", "b"};
  const char* row[] = {"mic.mrc", "1", "2"};
  const char* unknown[] = {"_rlnMyOwnLabel", "#1"};
  EXPECT_EQ(is_words_starhead(nullptr, 0), 1);
  EXPECT_EQ(is_words_starhead(const_cast<char**>(label), 1), 1);
  EXPECT_EQ(is_words_starhead(const_cast<char**>(label), 2), 1);
  EXPECT_EQ(is_words_starhead(const_cast<char**>(label), 3), 0);
  EXPECT_EQ(is_words_starhead(const_cast<char**>(data), 1), 1);
  EXPECT_EQ(is_words_starhead(const_cast<char**>(loop), 1), 1);
  EXPECT_EQ(is_words_starhead(const_cast<char**>(loop), 3), 0) << "a keyword stands alone; this is a row";
  EXPECT_EQ(is_words_starhead(const_cast<char**>(row), 3), 0);
  EXPECT_EQ(is_words_starhead(const_cast<char**>(unknown), 2), 0);
  const char* comment[] = {"#", "version", "30001"};
  EXPECT_EQ(is_words_starhead(const_cast<char**>(comment), 3), 1);
  // Only a new block or loop ends the rows of a table.
  EXPECT_EQ(is_words_star_table_end(const_cast<char**>(data), 1), 1);
  EXPECT_EQ(is_words_star_table_end(const_cast<char**>(loop), 1), 1);
  EXPECT_EQ(is_words_star_table_end(const_cast<char**>(loop), 3), 0);
  EXPECT_EQ(is_words_star_table_end(const_cast<char**>(label), 2), 0);
  EXPECT_EQ(is_words_star_table_end(const_cast<char**>(comment), 3), 0);
  EXPECT_EQ(is_words_star_table_end(nullptr, 0), 0);
}

TEST(StarRows, SuffixOfStarNames) {
  EXPECT_EQ(get_starf_suffixn("a.star"), 5);
  EXPECT_EQ(get_starf_suffixn(".star"), 5);
  EXPECT_EQ(get_starf_suffixn("a.star2"), 0);
  EXPECT_EQ(get_starf_suffixn("star"), 0);
}

TEST(StarRows, CursorSkipsRowsOfTheWrongWordCountWithWarnings) {
  TextStream t(std::string(kFourLineHeader) + "m1 1\nshort\n\nm2 2 extra\nm3 3\n");
  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head(t.get(), head.get());
  StarRowCursor cursor;
  std::vector<std::string> names;
  const std::string out = captured_stdout([&] {
    star_row_cursor_start(cursor, t.get(), *head, "rows.star");
    while (star_next_row(cursor)) names.push_back(star_row_word(cursor, 1));
  });
  EXPECT_EQ(names, (std::vector<std::string>{"m1", "m3"}));
  EXPECT_NE(out.find("data row 2 of rows.star has fewer words than the 2 labels"), std::string::npos) << out;
  EXPECT_NE(out.find("data row 3 of rows.star has more words than the 2 labels"), std::string::npos) << out;
  EXPECT_EQ(star_row_word(cursor, 0), nullptr);
  EXPECT_EQ(star_row_word(cursor, 3), nullptr);
}

TEST(StarIndex, TracksKnownLabelsAndKeepsTheLaterOfTwo) {
  TextStream t("loop_\n_rlnCoordinateX #1\n_rlnCoordinateY #2\n_rlnDataDimensionality #3\n_rlnCoordinateX #4\n");
  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head(t.get(), head.get());
  std::unique_ptr<ParticleInfoIndex> index = particle_info_index_new();
  index->voltage = 9;
  set_info_index_from_star_head(head.get(), index.get());
  EXPECT_EQ(index->coordinate_x, 4);
  EXPECT_EQ(index->coordinate_y, 2);
  EXPECT_EQ(index->voltage, 0);  // zeroed first
  EXPECT_EQ(get_info_index_from_keyword("_rlnCoordinateX", index.get()), 4);
  EXPECT_EQ(get_info_index_from_keyword("_rlnDataDimensionality", index.get()), 0);  // not tracked
  EXPECT_EQ(get_info_index_from_keyword("_rlnAutopickFigureOfMerit", index.get()), 0);
  set_info_index_from_keyword_number("_rlnAutopickFigureOfMerit", 5, index.get());
  set_info_index_from_keyword_number("_rlnComment", 6, index.get());
  EXPECT_EQ(index->autopick_figure_of_merit, 5);
  particle_info_index_init(index.get());
  EXPECT_EQ(index->coordinate_x, 0);
}

TEST(StarMicrographs, NamesOfUsableRowsSkippingBlanksAndShortRows) {
  TempDir dir;
  const std::string path = dir.file("ctf.star");
  FILE* f = fopen(path.c_str(), "w");
  fputs("\ndata_\n\nloop_\n_rlnDefocusU #1\n_rlnMicrographName #2\n10000 a.mrc\n\n20000\n30000 b.mrc\n\n", f);
  fclose(f);
  EXPECT_EQ(get_all_micrographs_from_ctfstar(path.c_str()), (std::vector<std::string>{"a.mrc", "b.mrc"}));
  std::unique_ptr<StarHead> head = star_head_new();
  std::unique_ptr<ParticleInfoIndex> index = particle_info_index_new();
  starf_read_head_info_index(path.c_str(), head.get(), index.get());
  EXPECT_EQ(index->micrograph_name, 2);
  set_info_index_from_starf(path.c_str(), index.get());
  EXPECT_EQ(index->defocus_u, 1);

  TextStream nameless(std::string("loop_\n_rlnDefocusU #1\n_rlnDefocusV #2\n1 2\n3 4\n"));
  EXPECT_EQ(star_read_all_micrographs(nameless.get()), (std::vector<std::string>{"", ""}));
  const std::string missing = dir.file("none.star");
  EXPECT_EXIT_STDOUT(get_all_micrographs_from_ctfstar(missing.c_str()), 1, "Cannot open file .*none.star");
  EXPECT_EXIT_STDOUT(starf_read_head(missing.c_str(), head.get()), 1, "file star_head.cpp .*open file failed");
}

TEST(StarWriter, ParticleTableBytesAndRoundTrip) {
  TempDir dir;
  const std::string path = dir.file("local.star");
  FILE* f = fopen(path.c_str(), "w+");
  fputs("old content that the header replaces from the start", f);
  particle_star_write_head(f);
  particle_star_write_oneline(f, ParticleStarRow{"mic.mrc", 100, 200, CtfModel{12000.5f, 11000.25f, 45.0f, 0.0f},
                                                 make_optics(300.0f, 2.7f, 0.1f, 1.4f), 100000.0f, 14.0f, 0.5f, 0.25f});
  fclose(f);
  f = fopen(path.c_str(), "r");
  std::string written(4096, '\0');
  written.resize(fread(&written[0], 1, written.size(), f));
  fclose(f);
  const std::string expected_head =
      "\ndata_\n\nloop_\n_rlnMicrographName #1\n_rlnCoordinateX #2\n_rlnCoordinateY #3\n_rlnVoltage #4\n"
      "_rlnDefocusU #5\n_rlnDefocusV #6\n_rlnDefocusAngle #7\n_rlnSphericalAberration #8\n"
      "_rlnDetectorPixelSize #9\n_rlnCtfFigureOfMerit #10\n_rlnMagnification #11\n_rlnAmplitudeContrast #12\n"
      "_rlnAutopickFigureOfMerit #13\n_rlnPhaseShift #14\n";
  const std::string expected_row =
      "mic.mrc   100.000000   200.000000   300.000000 12000.500000 11000.250000    45.000000     2.700000"
      "    14.000000     0.500000 100000.000000     0.100000     0.250000     0.000000\n";
  EXPECT_EQ(written.substr(0, expected_head.size() + expected_row.size()), expected_head + expected_row);

  // Read back through the index: every value lands in its labelled column.
  std::unique_ptr<StarHead> head = star_head_new();
  std::unique_ptr<ParticleInfoIndex> index = particle_info_index_new();
  starf_read_head_info_index(path.c_str(), head.get(), index.get());
  EXPECT_EQ(head->count, 14);
  FilePtr stream(fopen(path.c_str(), "r"));
  StarRowCursor cursor;
  star_row_cursor_start(cursor, stream.get(), *head, nullptr);
  ASSERT_NE(star_next_row(cursor), nullptr);
  EXPECT_STREQ(star_row_word(cursor, index->micrograph_name), "mic.mrc");
  EXPECT_STREQ(star_row_word(cursor, index->coordinate_y), "200.000000");
  EXPECT_STREQ(star_row_word(cursor, index->defocus_v), "11000.250000");
  EXPECT_STREQ(star_row_word(cursor, index->magnification), "100000.000000");
  EXPECT_STREQ(star_row_word(cursor, index->autopick_figure_of_merit), "0.250000");
  EXPECT_EQ(star_next_row(cursor), nullptr);
}

}  // namespace
