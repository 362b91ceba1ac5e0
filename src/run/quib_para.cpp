#include "run/quib_para.h"

#include <cstdio>
#include <cstring>

#include "core/ctf_model.h"
#include "core/report.h"
#include "core/text_lines.h"
#include "io/star_rows.h"
#include "run/keywords.h"

namespace {

enum TextSlot { INPUT_CTFSTAR, CTFSTAR, LOGSUFFIX, BOXSUFFIX, FIRST_FNAME, GAIN, WATCH, TEXT_SLOTS };

char* text_slot(QuibParaStorage& storage, TextSlot slot) {
  return storage.texts.get() + static_cast<size_t>(slot) * QUIB_TEXT_SIZE;
}

void set_defaults(QUIB_Para* p) {
  p->apix = 1.34f;
  p->kV = 300.0f;
  p->cs = 2.7f;
  p->dstep = 14.0f;
  p->ac = 0.1f;
  p->defL = 5000.0f;
  p->defH = 90000.0f;
  p->defS = 500.0f;
  p->astm = 1000.0f;
  p->bfac = 150.0f;
  p->resL = 50.0f;
  p->resH = 4.0f;
  p->boxsize = 1024;
  p->overlap = 0.5f;
  p->convsize = 85;
  p->do_basic_rotave = 0;
  p->do_EPA = 0;
  p->refine_after_EPA = 0;
  p->Href_resL = 15.0f;
  p->Href_resH = 4.0f;
  p->Href_bfac = 50.0f;
  p->do_Hres_ref = 0;
  p->EPA_oversmp = 4;
  p->phase_shift_L = 0.0f;
  p->phase_shift_H = 180.0f;
  p->phase_shift_S = 0.0f;
  p->phase_shift_T = 1;
  p->estimate_B = 1;
  p->B_resH = 6.0f;
  p->B_resL = 15.0f;
  p->gid = 0;
  p->do_mdef_refine = 0;
  p->mdef_aveN = 7;
  p->mdef_fit = 0;
  p->mdef_ave_type = 0;
  p->refine_tilt = 0;
  p->init_tilt_ang = 0;
  p->init_tilt_err = 0;
  p->do_local_refine = 0;
  p->refine_local_astm = 0;
  p->local_resH = 5.0f;
  p->local_resL = 15.0f;
  p->local_boxsize = 512;
  p->local_boxtype = 1;
  p->local_radius = 1024.0f;
  p->local_overlap = 0.5f;
  p->local_avetype = 0;
  p->do_validation = 0;
  p->do_phase_flip = 0;
  p->refine_input_ctf = 0;
  p->ps_init = 0.0f;
  p->defU_init = 20000.0f;
  p->defV_init = 20000.0f;
  p->defA_init = 0.0f;
  p->B_init = 200.0f;
  p->ps_err = 10.0f;
  p->defU_err = 500.0f;
  p->defV_err = 500.0f;
  p->defA_err = 15.0f;
  p->B_err = 50.0f;
  strlcpy(p->input_ctfstar, "NULL");
  p->ctfout_resL = 100.0f;
  p->ctfout_resH = 2.0f * p->apix + 0.1f;
  p->ctfout_bfac = 50.0f;
  p->write_local_ctf = 0;
  p->output_time = 0;
  p->plot_res_ring = 1;
  p->skip_check_mrc = 0;
  p->skip_check_gpu = 0;
  strlcpy(p->ctfstar, "micrographs_all_quib.star");
  strlcpy(p->logsuffix, "_quib.log");
  strlcpy(p->boxsuffix, "_ptclpick.star");
  p->do_unfinished = 0;
  p->seed = 0;
  p->ctfstar_format = 30;
  p->write_profile = 0;
  p->quiet = 0;
  strlcpy(p->gain, "NULL");
  strlcpy(p->watch, "NULL");
  p->watch_idle = 0.0f;

  p->nfiles = 0;
  p->nfiles_refine = 0;
  p->nfiles_search = 0;
  ctf_ref_control_init(p->ref_control);
  p->convsize_set = p->defH_set = p->defL_set = p->defS_set = p->bfac_set = p->resL_set = 0;
  p->do_phase_shift = p->refine_input_ps = 0;
  p->phase_shift_H_set = p->phase_shift_L_set = p->phase_shift_S_set = p->phase_shift_T_set = 0;
  p->boxsize_set = p->ctfout_resH_set = p->input_ctfstar_set = p->seed_set = p->do_unfinished_set = 0;
}

}  // namespace

int quib_get_fnumber_max(int argc, char** argv) {
  const char* star = nullptr;  // the last one given is the one read
  for (int i = 1; i + 1 < argc; ++i)
    if (keywd_cmp(argv[i], "input_ctfstar")) star = argv[i + 1];
  return star && !is_str_null(star) ? argc + 1 + get_lineN_from_starf(star) : argc;
}

int Quib_init_parameters(int argc, char** argv, QUIB_Para* para) {
  QuibParaStorage& storage = para->storage;
  storage.texts = std::make_unique<char[]>(static_cast<size_t>(TEXT_SLOTS) * QUIB_TEXT_SIZE);
  para->input_ctfstar = text_slot(storage, INPUT_CTFSTAR);
  para->ctfstar = text_slot(storage, CTFSTAR);
  para->logsuffix = text_slot(storage, LOGSUFFIX);
  para->boxsuffix = text_slot(storage, BOXSUFFIX);
  para->first_fname = text_slot(storage, FIRST_FNAME);
  para->gain = text_slot(storage, GAIN);
  para->watch = text_slot(storage, WATCH);

  const size_t capacity = static_cast<size_t>(quib_get_fnumber_max(argc, argv));
  storage.names.clear();
  storage.names.reserve(capacity);
  storage.fname_slots.assign(1, nullptr);
  storage.fname_slots.reserve(capacity + 1);
  storage.init_slots.clear();
  storage.init_slots.reserve(capacity);
  para->fnames = storage.fname_slots.data();
  para->init_ctfs = storage.init_slots.data();
  set_defaults(para);
  return 0;
}

void Quib_release_parameters(QUIB_Para* para) {
  para->storage = QuibParaStorage{};
  para->input_ctfstar = para->ctfstar = para->logsuffix = para->boxsuffix = nullptr;
  para->first_fname = para->gain = para->watch = nullptr;
  para->fnames = nullptr;
  para->init_ctfs = nullptr;
  para->nfiles = para->nfiles_search = para->nfiles_refine = 0;
}

void quib_append_micrograph(QUIB_Para* para, const char* name, const CTF_INIT& init) {
  QuibParaStorage& storage = para->storage;
  const size_t length = strlen(name);
  if (length >= static_cast<size_t>(QUIB_TEXT_SIZE)) {
    printf("File name of %zu characters is longer than %d: %.64s...\n", length, QUIB_TEXT_SIZE - 1, name);
    QUIB_FATAL("ctf", "File name too long");
  }
  auto copy = std::make_unique<char[]>(length + 1);
  memcpy(copy.get(), name, length + 1);
  storage.fname_slots.back() = copy.get();
  storage.fname_slots.push_back(nullptr);
  storage.init_slots.push_back(init);
  storage.names.push_back(std::move(copy));
  para->fnames = storage.fname_slots.data();
  para->init_ctfs = storage.init_slots.data();
  para->nfiles += 1;
}
