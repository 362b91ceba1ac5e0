#include "run/init_ctf_list.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/ctf_model.h"
#include "core/report.h"
#include "io/ctf_star_reader.h"
#include "io/star_head.h"
#include "io/star_index.h"
#include "io/star_micrographs.h"

int get_all_initctf_from_ctfstar(QUIB_Para* para, const char* name) {
  // Without micrograph names the rows cannot be matched to files.
  const std::unique_ptr<StarHead> head = star_head_new();
  const std::unique_ptr<ParticleInfoIndex> index = particle_info_index_new();
  starf_read_head_with(name, "_rlnMicrographName", head.get());
  set_info_index_from_star_head(head.get(), index.get());
  if (index->micrograph_name == 0) {
    printf("The input CTF STAR file %s has no _rlnMicrographName column.\n", name);
    QUIB_FATAL("ctf", "Input CTF STAR file without micrograph names");
  }
  const std::vector<CTF_INFO> values = get_all_ctfinfo_from_ctfstar(name);
  const std::vector<std::string> micrographs = get_all_micrographs_from_ctfstar(name);
  // Both readers keep exactly the rows with one word per label, so the lists pair up row by row.
  const size_t rows = values.size() < micrographs.size() ? values.size() : micrographs.size();
  for (size_t r = 0; r < rows; ++r) quib_append_micrograph(para, micrographs[r].c_str(), ctf2d_to_ctfinit(values[r]));
  return static_cast<int>(rows);
}
