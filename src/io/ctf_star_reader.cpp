#include "io/ctf_star_reader.h"

#include <memory>

#include "core/ctf_model.h"
#include "core/report.h"
#include "core/text_number.h"
#include "io/star_index.h"
#include "io/star_optics.h"
#include "io/star_rows.h"

namespace {

const char* const kUnit = "ctf_star_reader.cpp";
const char* const kNameLabel = "_rlnMicrographName";

// The columns a record takes from its row, or from the row's optics group.
using CtfValue = float CTF_INFO::*;

struct CtfColumn {
  const char* label;
  CtfValue value;
  bool is_defocus;  // a defocus is never negative
};
const CtfColumn kCtfColumns[] = {
    {"_rlnDefocusU", &CTF_INFO::defocus_u, true},      {"_rlnDefocusV", &CTF_INFO::defocus_v, true},
    {"_rlnDefocusAngle", &CTF_INFO::angle, false},     {"_rlnVoltage", &CTF_INFO::kV, false},
    {"_rlnSphericalAberration", &CTF_INFO::Cs, false}, {"_rlnAmplitudeContrast", &CTF_INFO::ac, false},
    {"_rlnBfactor", &CTF_INFO::bfactor, false},        {"_rlnPhaseShift", &CTF_INFO::phase_shift, false},
};

// The table being read: its columns, the file's optics groups and what has been reported.
struct CtfTable {
  ParticleInfoIndex index;
  StarOptics optics;
  const char* report_path;
  bool group_reported;
};

// Room for a warning that quotes a file name, a micrograph name and a word.
constexpr size_t kWarningSize = 3 * TEXT_LINE_SIZE;

const char* micrograph_of(const StarRowCursor& cursor, const CtfTable& table) {
  const char* name = star_row_word(cursor, table.index.micrograph_name);
  return name ? name : "without a name";
}

void report_missing_group(CtfTable& table, const StarRowCursor& cursor, const char* group) {
  if (!table.report_path || table.group_reported) return;
  table.group_reported = true;
  char text[kWarningSize];
  snprintf(text, sizeof text,
           "micrograph %s of %s is in optics group %s, which its optics table lacks; values the row does not "
           "give keep their defaults (further rows are not named)",
           micrograph_of(cursor, table), table.report_path, group);
  QUIB_WARNING(kUnit, text);
}

// The word of a label for the row: its own column, else its optics group's.
const char* value_word(CtfTable& table, const StarRowCursor& cursor, const char* label) {
  if (const char* word = star_row_word(cursor, get_info_index_from_keyword(label, &table.index))) return word;
  const char* group = star_row_word(cursor, table.index.optics_group);
  if (!group || table.optics.rows.empty() || get_info_index_from_keyword(label, &table.optics.index) == 0)
    return nullptr;
  const char* word = star_optics_word(table.optics, group, label);
  if (!word) report_missing_group(table, cursor, group);
  return word;
}

// Why a word cannot be a column's value, or null when it can (the value is then stored).
const char* value_fault(const char* word, const CtfColumn& column, float* value) {
  if (!text_to_finite_float(word, value)) return "not a finite number";
  if (column.is_defocus && *value < 0.0f) return "a negative defocus";
  return nullptr;
}

void report_unusable_row(const CtfTable& table, const StarRowCursor& cursor, const CtfColumn& column, const char* word,
                         const char* fault) {
  if (!table.report_path) return;
  char text[kWarningSize];
  snprintf(text, sizeof text, "micrograph %s of %s gives %s \"%s\", %s; its CTF is searched from scratch",
           micrograph_of(cursor, table), table.report_path, column.label, word, fault);
  QUIB_WARNING(kUnit, text);
}

// The row's values over the defaults. A row with a value that is no number, or a negative
// defocus, gives no values at all: its micrograph is then searched rather than refined from them.
CTF_INFO row_ctfinfo(CtfTable& table, const StarRowCursor& cursor) {
  CTF_INFO info = ctf2d_default();
  for (const CtfColumn& column : kCtfColumns) {
    const char* word = value_word(table, cursor, column.label);
    if (!word) continue;
    float value = 0.0f;
    if (const char* fault = value_fault(word, column, &value)) {
      report_unusable_row(table, cursor, column, word, fault);
      return ctf2d_default();
    }
    info.*(column.value) = value;
  }
  return info;
}

// Like RELION, quib reads one micrograph table; the rows of any other are not read.
void report_later_tables(const StarHead& head, const char* path) {
  char text[kWarningSize];
  snprintf(text, sizeof text,
           "%s has more than one table with a %s column; only the rows of the first (in block data_%s) are read", path,
           kNameLabel, head.block);
  QUIB_WARNING(kUnit, text);
}

}  // namespace

std::vector<CTF_INFO> star_read_all_ctfinfo(FILE* stream, const char* report_path) {
  CtfTable table{ParticleInfoIndex{}, star_read_optics(stream), report_path, false};
  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head_with(stream, kNameLabel, head.get(), report_path);
  set_info_index_from_star_head(head.get(), &table.index);
  std::vector<CTF_INFO> records;
  StarRowCursor cursor;
  star_row_cursor_start(cursor, stream, *head, report_path);
  while (star_next_row(cursor)) records.push_back(row_ctfinfo(table, cursor));
  if (report_path && star_count_tables_with(stream, kNameLabel) > 1) report_later_tables(*head, report_path);
  if (records.empty() && report_path) {
    char text[TEXT_LINE_SIZE + 128];
    snprintf(text, sizeof text, "the CTF STAR file %s has no data row quib can read", report_path);
    QUIB_WARNING(kUnit, text);
  }
  return records;
}

std::vector<CTF_INFO> get_all_ctfinfo_from_ctfstar(const char* name) {
  FilePtr file(fopen(name, "r"));
  if (!file) QUIB_FATAL_CANNOT_READ(kUnit, name);
  return star_read_all_ctfinfo(file.get(), name);
}
