// Particle box files: EMAN and STAR reading, centres and resizing, listing and coordinate headers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/text_lines.h"
#include "io/ptcl_box.h"
#include "io/ptcl_box_reader.h"
#include "test_util.h"

namespace {

std::string file_text(const std::string& path) {
  FILE* f = fopen(path.c_str(), "r");
  std::string text(1 << 16, '\0');
  text.resize(fread(&text[0], 1, text.size(), f));
  fclose(f);
  return text;
}

struct BoxTable {
  std::vector<PTCL_BOX> boxes = std::vector<PTCL_BOX>(PTCL_BOX_CAPACITY);
  PTCL_BOX* get() { return boxes.data(); }
};

void expect_box(const PTCL_BOX& b, int x, int y, int w, int h, float score, int class_id, float angle) {
  EXPECT_EQ(b.x, x);
  EXPECT_EQ(b.y, y);
  EXPECT_EQ(b.width, w);
  EXPECT_EQ(b.height, h);
  EXPECT_FLOAT_EQ(b.score, score);
  EXPECT_EQ(b.class_id, class_id);
  EXPECT_FLOAT_EQ(b.angle, angle);
  EXPECT_FLOAT_EQ(b.distance, 0.0f);
}

TEST(PtclBoxReader, EmanLinesOfFourToSevenWordsAndBlankLines) {
  TempDir dir;
  const std::string path = write_text_file(dir, "m.box",
                                      "100 200 64 64\n\n"
                                      "12.7 -5 32 48 0.75\n"
                                      "   \t\n"
                                      "1 2 3 4 0.5 7\n"
                                      "1 2 3 4 0.5 7 -12.5\n"
                                      "1 2 3 4 0.5 7 -12.5 ignored\n");
  BoxTable table;
  table.boxes[5].x = 99;  // cleared by the reader
  EXPECT_EQ(read_all_ptcl_boxes(table.get(), PTCL_BOX_CAPACITY, path.c_str()), 5);
  expect_box(table.boxes[0], 100, 200, 64, 64, 0, 0, 0);
  expect_box(table.boxes[1], 12, -5, 32, 48, 0.75f, 0, 0);
  expect_box(table.boxes[2], 1, 2, 3, 4, 0.5f, 7, 0);
  expect_box(table.boxes[3], 1, 2, 3, 4, 0.5f, 7, -12.5f);
  expect_box(table.boxes[4], 1, 2, 3, 4, 0.5f, 7, -12.5f);
  EXPECT_EQ(table.boxes[5].x, 0);
  int cx, cy;
  ptcl_box_centre(table.boxes[0], cx, cy);
  EXPECT_EQ(cx, 132);
  EXPECT_EQ(cy, 232);
  EXPECT_EQ(get_ptcl_number_from_boxf(path.c_str()), 1);  // exactly seven words: not the eight-word line
}

TEST(PtclBoxReader, EmanLineOfOneToThreeWordsEndsTheProgram) {
  TempDir dir;
  for (const char* line : {"5\n", "5 6\n", "5 6 7\n"}) {
    const std::string text = std::string("1 2 3 4\n") + line + "8 9 10 11\n";
    const std::string path = write_text_file(dir, "bad.box", text);
    BoxTable table;
    EXPECT_EXIT_STDOUT(read_all_ptcl_boxes(table.get(), PTCL_BOX_CAPACITY, path.c_str()), 1,
                       "Line 2 of .*bad.box holds [1-3] word\\(s\\); a box line needs four to seven.\n"
                       "Error in function read_all_ptcl_boxes\\(\\), file ptcl_box_reader.cpp on line [0-9]+: "
                       "unrecognized box format!! Exit now!");
    // The parse underneath reports the line instead of ending the program.
    FilePtr stream(fmemopen(const_cast<char*>(text.data()), text.size(), "r"));
    const PtclBoxParse parsed = parse_ptcl_boxes(stream.get(), BOXF_EMAN, table.get(), PTCL_BOX_CAPACITY, nullptr);
    EXPECT_EQ(parsed.count, 1);
    EXPECT_EQ(parsed.bad_line, 2);
    EXPECT_EQ(parsed.bad_words, static_cast<int>((strlen(line) + 1) / 2));
  }
}

TEST(PtclBoxReader, StarCoordinatesAreTruncatedCentres) {
  TempDir dir;
  const std::string plain = write_text_file(dir, "m_plain.star",
                                       "\ndata_\n\nloop_\n_rlnCoordinateX #1\n_rlnCoordinateY #2\n"
                                       "132.7 232.2\n\n  10 20\n1 2 3\n");
  BoxTable table;
  std::string out = captured_stdout([&] { EXPECT_EQ(read_all_ptcl_boxes(table.get(), PTCL_BOX_CAPACITY, plain.c_str()), 2); });
  expect_box(table.boxes[0], 132, 232, 0, 0, 0, 0, 0);  // missing optional columns give 0
  expect_box(table.boxes[1], 10, 20, 0, 0, 0, 0, 0);
  EXPECT_NE(out.find("data row 3 of " + plain + " has more words"), std::string::npos) << out;
  int cx, cy;
  ptcl_box_centre(table.boxes[0], cx, cy);
  EXPECT_EQ(cx, 132);
  EXPECT_EQ(cy, 232);

  const std::string full = write_text_file(dir, "m_full.star",
                                      "data_\nloop_\n_rlnAnglePsi #3\n_rlnCoordinateY #2\n_rlnCoordinateX #1\n"
                                      "_rlnClassNumber #4\n_rlnAutopickFigureOfMerit #5\n"
                                      "300.9 400.1 -45.7 3 0.875\n");
  EXPECT_EQ(read_all_ptcl_boxes(table.get(), PTCL_BOX_CAPACITY, full.c_str()), 1);
  expect_box(table.boxes[0], 300, 400, 0, 0, 0.875f, 3, -45.0f);

  // A RELION 3.1 particle file: the particle table follows the optics table, its labels unnumbered.
  const std::string relion31 =
      write_text_file(dir, "m_31.star",
                      "# version 30001\ndata_optics\nloop_\n_rlnOpticsGroup\n_rlnVoltage\n_rlnImageSize\n1 300 64\n \n"
                      "# version 30001\ndata_particles\nloop_\n_rlnCoordinateX\n_rlnCoordinateY\n_rlnOpticsGroup\n"
                      "50.5 60.5 1\n70 80 1\n");
  EXPECT_EQ(read_all_ptcl_boxes(table.get(), PTCL_BOX_CAPACITY, relion31.c_str()), 2);
  expect_box(table.boxes[0], 50, 60, 0, 0, 0, 0, 0);
  expect_box(table.boxes[1], 70, 80, 0, 0, 0, 0, 0);
}

TEST(PtclBoxReader, UnusableFilesGiveWarningsAndNoBoxes) {
  TempDir dir;
  struct Case {
    std::string name, text, warning;
  };
  const Case cases[] = {
      {"no_y.star", "loop_\n_rlnCoordinateX #1\n_rlnAnglePsi #2\n5 6\n", "no usable _rlnCoordinateX and _rlnCoordinateY"},
      {"far_y.star", "loop_\n_rlnCoordinateX #1\n_rlnCoordinateY #3\n5 6\n", "no usable _rlnCoordinateX and _rlnCoordinateY"},
      {"no_x.star", "loop_\n_rlnCoordinateY #1\n_rlnMyOwnLabel #2\n5 6\n", "no usable _rlnCoordinateX"},
      {"m.txt", "1 2 3 4\n", "unrecognized box file format, only EMAN .box and Relion .star file are supported now.!"},
  };
  for (const Case& c : cases) {
    const std::string path = write_text_file(dir, c.name, c.text);
    BoxTable table;
    const std::string out =
        captured_stdout([&] { EXPECT_EQ(read_all_ptcl_boxes(table.get(), PTCL_BOX_CAPACITY, path.c_str()), 0); });
    EXPECT_NE(out.find(c.warning), std::string::npos) << c.name << ": " << out;
    EXPECT_EQ(table.boxes[0].x, 0);
  }
  BoxTable table;
  const std::string missing = dir.file("none.box");
  EXPECT_EXIT_STDOUT(read_all_ptcl_boxes(table.get(), PTCL_BOX_CAPACITY, missing.c_str()), 1,
                     "Cannot open file .*none.box. Permission denied or wrong file name.");
  EXPECT_EXIT_STDOUT(get_ptcl_number_from_boxf(missing.c_str()), 1,
                     "Cannot open file .*none.box!\nError in function get_ptcl_number_from_boxf.*open file failed");
}

TEST(PtclBoxReader, ReadingStopsAtTheCapacity) {
  TempDir dir;
  std::string eman, star = "loop_\n_rlnCoordinateX #1\n_rlnCoordinateY #2\n";
  for (int i = 0; i <= PTCL_BOX_CAPACITY; ++i) {
    eman += std::to_string(i) + " 1 2 2\n";
    star += std::to_string(i) + " 1\n";
  }
  for (const auto& [name, text] : {std::make_pair("many.box", eman), std::make_pair("many.star", star)}) {
    const std::string path = write_text_file(dir, name, text);
    BoxTable table;
    const std::string out = captured_stdout(
        [&] { EXPECT_EQ(read_all_ptcl_boxes(table.get(), PTCL_BOX_CAPACITY, path.c_str()), PTCL_BOX_CAPACITY); });
    EXPECT_EQ(table.boxes[PTCL_BOX_CAPACITY - 1].x, PTCL_BOX_CAPACITY - 1);
    EXPECT_NE(out.find("the table of 10240 boxes is full"), std::string::npos) << name << ": " << out;
    // Exactly the capacity with nothing after it is no reason for a warning.
    const std::string exact = write_text_file(dir, std::string("exact_") + name, text.substr(0, text.rfind("10240 ")));
    const std::string quiet = captured_stdout(
        [&] { EXPECT_EQ(read_all_ptcl_boxes(table.get(), PTCL_BOX_CAPACITY, exact.c_str()), PTCL_BOX_CAPACITY); });
    EXPECT_EQ(quiet, "") << name;
  }
}

TEST(PtclBox, ResizeKeepsCentres) {
  PTCL_BOX boxes[3] = {one_new_ptcl_box(), one_new_ptcl_box(), one_new_ptcl_box()};
  boxes[0].x = 100, boxes[0].y = 200, boxes[0].width = boxes[0].height = 64;
  boxes[1].x = 132, boxes[1].y = 232;  // a STAR centre
  boxes[2].x = 7, boxes[2].y = 9;
  resize_ptcl_boxes(boxes, 2, 128);
  EXPECT_EQ(boxes[0].x, 68);
  EXPECT_EQ(boxes[0].y, 168);
  EXPECT_EQ(boxes[1].x, 68);
  EXPECT_EQ(boxes[1].width, 128);
  resize_ptcl_boxes(&boxes[2], 1, 65);
  EXPECT_EQ(boxes[2].x, 7 - 32);  // (0 - 65) / 2 truncates toward zero
  int cx, cy;
  ptcl_box_centre(boxes[0], cx, cy);
  EXPECT_EQ(cx, 132);
  EXPECT_EQ(cy, 232);
  PTCL_BOX far = one_new_ptcl_box();
  far.x = 2147483600, far.width = 200;
  ptcl_box_centre(far, cx, cy);
  EXPECT_EQ(cx, 2147483647);  // held to int instead of overflowing
}

TEST(PtclBox, SuffixesAndEmptying) {
  EXPECT_EQ(get_boxf_suffixf("a_ptclpick.star"), BOXF_STAR);
  EXPECT_EQ(get_boxf_suffixf("a.box"), BOXF_EMAN);
  EXPECT_EQ(get_boxf_suffixf("a.box.star"), BOXF_STAR);
  EXPECT_EQ(get_boxf_suffixf("a.boxes"), BOXF_UNKNOWN);
  EXPECT_EQ(get_boxf_suffixf(".box"), BOXF_UNKNOWN);

  std::vector<PTCL_BOX> boxes(PTCL_BOX_CAPACITY + 1);
  for (PTCL_BOX& b : boxes) b.x = 5;
  const std::string out = captured_stdout([&] { empty_all_ptcl_boxes(boxes.data(), PTCL_BOX_CAPACITY + 1); });
  EXPECT_NE(out.find("Too many particle numbers!!"), std::string::npos) << out;
  EXPECT_EQ(boxes[PTCL_BOX_CAPACITY - 1].x, 0);
  EXPECT_EQ(boxes[PTCL_BOX_CAPACITY].x, 5);
}

TEST(PtclBox, ListingAndCoordinateHeaders) {
  BoxTable table;
  table.boxes[0] = PTCL_BOX{1, 2, 3, 4, 0.5f, 6, 7.25f, 0};
  table.boxes[1] = PTCL_BOX{9, 9, 0, 4, 0, 0, 0, 0};  // no width: not listed
  table.boxes[7] = PTCL_BOX{-10, 20, 64, 64, 0.125f, 0, -3.5f, 0};
  const std::string expected = "1       2       3       4       0.500000        6       7.250000\n"
                               "-10     20      64      64      0.125000        0       -3.500000\n";
  EXPECT_EQ(captured_stdout([&] { print_all_ptcl_boxes(table.get()); }), expected);
  TempDir dir;
  const std::string listed = dir.file("boxes.txt");
  fprint_all_ptcl_boxes(listed.c_str(), table.get());
  EXPECT_EQ(file_text(listed), expected);
  const std::string bad = dir.file("no/such/dir.txt");
  EXPECT_EXIT_STDOUT(fprint_all_ptcl_boxes(bad.c_str(), table.get()), 1,
                     "Cannot open file .*dir.txt. strike any key exit!\nError in function fprint_all_ptcl_boxes");

  const std::string head = dir.file("head.star");
  FILE* f = fopen(head.c_str(), "w+");
  output_starbox_head(f);
  fclose(f);
  EXPECT_EQ(file_text(head),
            "\ndata_\n\nloop_\n_rlnCoordinateX #1\n_rlnCoordinateY #2\n_rlnAnglePsi #3\n_rlnClassNumber #4\n"
            "_rlnAutopickFigureOfMerit #5\n");
  f = fopen(head.c_str(), "w+");
  output_starbox_head_XYonly(f);
  fclose(f);
  EXPECT_EQ(file_text(head), "\ndata_\n\nloop_\n_rlnCoordinateX #1\n_rlnCoordinateY #2\n");
}

}  // namespace
