#include "io/ptcl_box.h"

#include "core/report.h"
#include "core/text_lines.h"
#include "io/star_rows.h"
#include "io/star_writer.h"

namespace {

const char* const kUnit = "ptcl_box.cpp";

void list_ptcl_boxes(FILE* stream, const PTCL_BOX* boxes, int n) {
  for (int i = 0; i < n; ++i) {
    const PTCL_BOX& b = boxes[i];
    if (b.width != 0 && b.height != 0)
      fprintf(stream, "%-8d%-8d%-8d%-8d%-8.6f        %-8d%-8.6f\n", b.x, b.y, b.width, b.height, b.score, b.class_id,
              b.angle);
  }
}

const char* const kStarBoxLabels[] = {"_rlnCoordinateX", "_rlnCoordinateY", "_rlnAnglePsi", "_rlnClassNumber",
                                      "_rlnAutopickFigureOfMerit"};

}  // namespace

PTCL_BOX one_new_ptcl_box() { return PTCL_BOX{}; }

int empty_all_ptcl_boxes(PTCL_BOX* boxes, int n) {
  if (n > PTCL_BOX_CAPACITY) {
    QUIB_WARNING(kUnit, "Too many particle numbers!");
    n = PTCL_BOX_CAPACITY;
  }
  for (int i = 0; i < n; ++i) boxes[i] = one_new_ptcl_box();
  return 0;
}

void ptcl_box_centre(const PTCL_BOX& box, int& cx, int& cy) {
  cx = clamp_to_int(static_cast<long long>(box.x) + box.width / 2);
  cy = clamp_to_int(static_cast<long long>(box.y) + box.height / 2);
}

int resize_ptcl_boxes(PTCL_BOX* boxes, int n, int size) {
  for (int i = 0; i < n; ++i) {
    PTCL_BOX& b = boxes[i];
    b.x = clamp_to_int(b.x + (static_cast<long long>(b.width) - size) / 2);
    b.y = clamp_to_int(b.y + (static_cast<long long>(b.height) - size) / 2);
    b.width = size;
    b.height = size;
  }
  return 0;
}

int get_boxf_suffixf(const char* path) {
  if (get_starf_suffixn(path)) return BOXF_STAR;
  if (get_file_suffixn(path, ".box")) return BOXF_EMAN;
  return BOXF_UNKNOWN;
}

void print_all_ptcl_boxes(const PTCL_BOX* boxes, int n) { list_ptcl_boxes(stdout, boxes, n); }

void fprint_all_ptcl_boxes(const char* path, const PTCL_BOX* boxes, int n) {
  FilePtr file(fopen(path, "w"));
  if (!file) {
    printf("Cannot open file %s. strike any key exit!\n", path);
    QUIB_FATAL(kUnit, "open file failed.");
  }
  list_ptcl_boxes(file.get(), boxes, n);
}

void output_starbox_head(FILE* stream) { star_write_labels(stream, kStarBoxLabels, 5); }

void output_starbox_head_XYonly(FILE* stream) { star_write_labels(stream, kStarBoxLabels, 2); }
