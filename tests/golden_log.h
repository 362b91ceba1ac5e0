// The log text that several suites compare: the parameter section of a micrograph's log, the
// RELION block that follows it and the banners of the search and refinement, in one place.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "run/version.h"

namespace golden_log {

const std::string kSearchBanner =
    "* *************************************   1D   SEARCH    "
    "************************************************************ *";
const std::string kRefineBanner =
    "* *************************************   2D   REFINE    "
    "************************************************************ *";
const std::string kRefineColumns = "          defocus_U   defocus_V   angle   phase_shift    CCC         ";
const std::string kLastCycle =
    "**************************************   LAST CYCLE    "
    "************************************************************ *";
const std::string kTooManyCycles = "WARNING: Too man refinement cycles, Quib might have failed on this micrograph!";

// The parameter section of a run with the default options and one micrograph, with the values of
// the named options replaced (name without dashes, value as the section prints it).
inline std::vector<std::string> parameter_section(const std::vector<std::pair<std::string, std::string>>& values = {}) {
  std::vector<std::string> lines = {
      "",
      std::string("QUIB , ") + QUIB_VERSION + " " + QUIB_DATE,
      "All parameters to be used:",
      "General options:",
      "        --apix               1.340",
      "        --dstep              14.000",
      "        --kv                 300.00",
      "        --cs                 2.70",
      "        --ac                 0.10",
      "Phase shift options:",
      "OFF",
      "        --phase_shift_L      0.00",
      "        --phase_shift_H      180.00",
      "        --phase_shift_S      0.00",
      "        --phase_shift_T      1",
      "Advanced options:",
      "        --bfac               150.00",
      "        --defL               5000.00",
      "        --defH               90000.00",
      "        --astm               1000.00",
      "        --resL               50.00",
      "        --resH               4.00",
      "        --boxsize            1024",
      "        --overlap            0.50",
      "        --convsize           85",
      "        --do_EPA             0",
      "        --refine_after_EPA   0",
      "        --do_Hres_ref        0",
      "        --Href_resL          15.00",
      "        --Href_resH          4.00",
      "        --Href_bfac          50.00",
      "Bfactor estimation options:",
      "        --estimate_B         1",
      "        --B_resL             15.00",
      "        --B_resH             6.00",
      "Movie options:",
      "        --do_mdef_refine     0",
      "        --mdef_ave_type      0",
      "        --mdef_aveN          7",
      "        --mdef_fit           0",
      "Local refinement options:",
      "        --do_local_refine    0",
      "        --local_radius       1024.00",
      "        --local_boxsize      512",
      "        --local_overlap      0.50",
      "        --local_boxtype      1",
      "        --local_avetype      0",
      "Correction options:  ",
      "         --do_phase_flip     0",
      "CTF input parameters for refinement:",
      "        --refine_input_ctf   0",
      "        --ps_init            0.00",
      "        --defU_init          20000.00",
      "        --defV_init          20000.00",
      "        --defA_init          0.00",
      "        --B_init             200.00",
      "        --ps_err             10.00",
      "        --defU_err           500.00",
      "        --defV_err           500.00",
      "        --defA_err           15.00",
      "        --B_err              50.00",
      "        --input_ctfstar      NULL",
      "Validation options:  ",
      "        --do_validation      0",
      "Diagnosis CTF output options:",
      "        --ctfout_resL        100.00",
      "        --ctfout_resH        2.78",
      "        --ctfout_bfac        50.00",
      "I/O options:",
      "        --ctfstar            micrographs_all_quib.star",
      "        --logsuffix          _quib.log",
      "        --boxsuffix          _ptclpick.star",
      "        --write_local_ctf    0",
      "        --skip_check_mrc     0",
      "        --skip_check_gpu     0",
      "        --plot_res_ring      1",
      "        --do_unfinished      0",
      "        --gid                0",
  };
  for (const auto& [name, value] : values)
    for (std::string& line : lines)
      if (line.rfind("        --" + name + " ", 0) == 0) line = line.substr(0, 29) + value;
  return lines;
}

// The RELION block after the section, with its line of optics and its line of search limits.
inline std::vector<std::string> relion_block(const std::string& optics, const std::string& limits) {
  return {
      "********************************  parameter format for RELION: *********************************************",
      "",
      " CS[mm], HT[kV], AmpCnst, XMAG, DStep[um]",
      optics,
      "",
      " Positive defocus values for underfocus",
      " Box, ResMin[A], ResMax[A], dFMin[A], dFMax[A], FStep[A], dAst[A]",
      limits,
      "********************************* end of parameter format for RELION: *************************************",
      ""};
}

}  // namespace golden_log
