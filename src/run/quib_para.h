// The run's parameter record: one field per option, the list of micrographs and the flags derived
// while parsing. The record owns its text buffers and file list; Quib_release_parameters (or the
// record's destructor) frees them.
#pragma once

#include <memory>
#include <vector>

#include "core/ctf_records.h"

// Size of every text buffer of the record (and of file-name buffers elsewhere in the program).
constexpr int QUIB_TEXT_SIZE = 1024;

// The heap storage behind the record's text pointers and file list.
struct QuibParaStorage {
  std::unique_ptr<char[]> texts;               // the six text buffers, back to back
  std::vector<std::unique_ptr<char[]>> names;  // one copy per micrograph name
  std::vector<char*> fname_slots;              // the names, then a null pointer
  std::vector<CTF_INIT> init_slots;
};

struct QUIB_Para {
  float apix;
  float kV;
  float cs;
  float dstep;
  float ac;
  float defL;
  float defH;
  float defS;
  float astm;
  float bfac;
  float resL;
  float resH;
  int boxsize;
  float overlap;
  int convsize;
  int do_basic_rotave;
  int do_EPA;
  int refine_after_EPA;
  float Href_resL;
  float Href_resH;
  float Href_bfac;
  int do_Hres_ref;
  int EPA_oversmp;
  float phase_shift_L;
  float phase_shift_H;
  float phase_shift_S;
  int phase_shift_T;
  int estimate_B;
  float B_resH;
  float B_resL;
  int gid;
  int do_mdef_refine;
  int mdef_aveN;
  int mdef_fit;
  int mdef_ave_type;
  int refine_tilt;
  int init_tilt_ang;
  int init_tilt_err;
  int do_local_refine;
  int refine_local_astm;
  float local_resH;
  float local_resL;
  int local_boxsize;
  int local_boxtype;
  float local_radius;
  float local_overlap;
  int local_avetype;
  int do_validation;
  int do_phase_flip;
  int refine_input_ctf;
  float ps_init;
  float defU_init;
  float defV_init;
  float defA_init;
  float B_init;
  float ps_err;
  float defU_err;
  float defV_err;
  float defA_err;
  float B_err;
  char* input_ctfstar;
  float ctfout_resL;
  float ctfout_resH;
  float ctfout_bfac;
  int write_local_ctf;
  int quiet;          // standard output keeps only progress lines, warnings and the summary
  int write_profile;  // write each micrograph's fit profile (stem + "_profile.txt")
  int output_time;
  int plot_res_ring;
  int skip_check_mrc;
  int skip_check_gpu;
  char* ctfstar;
  char* logsuffix;
  char* boxsuffix;
  int do_unfinished;
  int seed;            // with seed_set, the fixed seed of every random draw
  int ctfstar_format;  // layout of the run's STAR file: 30 RELION 3.0, 31 RELION 3.1 and later
  char* gain;          // the gain reference every frame is multiplied by; "NULL" for none
  char* watch;         // the pattern of a live run's micrographs; "NULL" for a run over a fixed list
  float watch_idle;    // minutes without a new file after which a live run ends; 0 for never

  int nfiles;
  char** fnames;        // nfiles names, then a null pointer
  CTF_INIT* init_ctfs;  // one per name; has_init 0 for command-line micrographs
  int nfiles_refine;
  int nfiles_search;
  char* first_fname;
  CTF_REF_CONTROL ref_control;

  int convsize_set;
  int defH_set;
  int defL_set;
  int defS_set;
  int bfac_set;
  int resL_set;
  int do_phase_shift;
  int refine_input_ps;
  int phase_shift_H_set;
  int phase_shift_L_set;
  int phase_shift_S_set;
  int phase_shift_T_set;
  int boxsize_set;
  int ctfout_resH_set;
  int input_ctfstar_set;
  int seed_set;
  int do_unfinished_set;

  QuibParaStorage storage;
};

// Allocates the text buffers and an empty file list with room for quib_get_fnumber_max(argc,
// argv) names, and sets every default. Returns 0.
int Quib_init_parameters(int argc, char** argv, QUIB_Para* para);

// Frees what Quib_init_parameters allocated and clears the pointers to it.
void Quib_release_parameters(QUIB_Para* para);

// The most names the file list can receive: argc, or with --input_ctfstar argc + 1 + the number
// of data rows of the STAR file named after it.
int quib_get_fnumber_max(int argc, char** argv);

// Appends one micrograph to the file list with its initial CTF values (has_init 0 for none); the
// list grows beyond its first room when it must, so fnames and init_ctfs may move while the
// list is built. Names of 1024 characters or more are refused with a message and status 1.
void quib_append_micrograph(QUIB_Para* para, const char* name, const CTF_INIT& init);
