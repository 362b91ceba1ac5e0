#include "io/ctf_star_reader.h"

#include <cstdlib>
#include <memory>

#include "core/ctf_model.h"
#include "core/report.h"
#include "io/star_index.h"
#include "io/star_rows.h"

namespace {

const char* const kUnit = "ctf_star_reader.cpp";

// The columns a record takes from its row.
using IndexEntry = int ParticleInfoIndex::*;
using CtfValue = float CTF_INFO::*;

struct CtfColumn {
  IndexEntry column;
  CtfValue value;
};
const CtfColumn kCtfColumns[] = {
    {&ParticleInfoIndex::defocus_u, &CTF_INFO::defocus_u},
    {&ParticleInfoIndex::defocus_v, &CTF_INFO::defocus_v},
    {&ParticleInfoIndex::defocus_angle, &CTF_INFO::angle},
    {&ParticleInfoIndex::voltage, &CTF_INFO::kV},
    {&ParticleInfoIndex::spherical_aberration, &CTF_INFO::Cs},
    {&ParticleInfoIndex::amplitude_contrast, &CTF_INFO::ac},
    {&ParticleInfoIndex::bfactor, &CTF_INFO::bfactor},
    {&ParticleInfoIndex::phase_shift, &CTF_INFO::phase_shift},
};

CTF_INFO row_ctfinfo(const StarRowCursor& cursor, const ParticleInfoIndex& index) {
  CTF_INFO info = ctf2d_default();
  for (const CtfColumn& c : kCtfColumns)
    if (const char* word = star_row_word(cursor, index.*(c.column)))
      info.*(c.value) = static_cast<float>(atof(word));
  return info;
}

}  // namespace

std::vector<CTF_INFO> star_read_all_ctfinfo(FILE* stream, const char* report_path) {
  std::unique_ptr<StarHead> head = star_head_new();
  star_read_head(stream, head.get(), report_path);
  ParticleInfoIndex index;
  set_info_index_from_star_head(head.get(), &index);
  std::vector<CTF_INFO> records;
  StarRowCursor cursor;
  star_row_cursor_start(cursor, stream, *head, report_path);
  while (star_next_row(cursor)) records.push_back(row_ctfinfo(cursor, index));
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
