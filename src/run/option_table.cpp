#include "run/option_table.h"

#include <cstring>

#include "run/keywords.h"

namespace {

using P = QUIB_Para;

QuibOption real(const char* name, FloatField field, const char* def, const char* meaning, IntField set_flag = nullptr) {
  return {name, OptionKind::Float, field, nullptr, nullptr, set_flag, def, meaning};
}

QuibOption integer(const char* name, IntField field, const char* def, const char* meaning,
                   IntField set_flag = nullptr) {
  return {name, OptionKind::Int, nullptr, field, nullptr, set_flag, def, meaning};
}

QuibOption truncated(const char* name, IntField field, const char* def, const char* meaning) {
  return {name, OptionKind::TruncInt, nullptr, field, nullptr, nullptr, def, meaning};
}

QuibOption toggle(const char* name, IntField field, const char* def, const char* meaning, IntField set_flag = nullptr) {
  return {name, OptionKind::Switch, nullptr, field, nullptr, set_flag, def, meaning};
}

QuibOption text(const char* name, TextField field, const char* def, const char* meaning, IntField set_flag = nullptr) {
  return {name, OptionKind::Text, nullptr, nullptr, field, set_flag, def, meaning};
}

}  // namespace

const QuibOption QUIB_OPTIONS[QUIB_OPTIONS_ALL] = {
    real("apix", &P::apix, "1.34", "pixel size of the micrographs, Angstrom"),
    real("kV", &P::kV, "300", "acceleration voltage, kV"),
    real("cs", &P::cs, "2.7", "spherical aberration, mm (about 0 on a Cs-corrected microscope)"),
    real("ac", &P::ac, "0.1", "amplitude contrast, a fraction"),
    real("phase_shift_L", &P::phase_shift_L, "0.0",
         "lowest phase shift searched, degrees (any phase_shift option turns the phase-plate search on)",
         &P::phase_shift_L_set),
    real("phase_shift_H", &P::phase_shift_H, "180.0", "highest phase shift searched, degrees", &P::phase_shift_H_set),
    real("phase_shift_S", &P::phase_shift_S, "5.0", "step of the phase-shift search, degrees", &P::phase_shift_S_set),
    integer("phase_shift_T", &P::phase_shift_T, "1",
            "target of the phase search: 1 cross-correlation, 2 resolution limit", &P::phase_shift_T_set),
    real("dstep", &P::dstep, "14.0", "detector pixel size, micrometres (gives the magnification)"),
    real("defL", &P::defL, "5000", "lowest defocus searched, Angstrom", &P::defL_set),
    real("defH", &P::defH, "90000", "highest defocus searched, Angstrom", &P::defH_set),
    real("defS", &P::defS, "500", "step of the defocus search, Angstrom", &P::defS_set),
    real("astm", &P::astm, "1000", "expected astigmatism, Angstrom"),
    real("bfac", &P::bfac, "150", "B-factor that weights the fit, square Angstrom", &P::bfac_set),
    real("resL", &P::resL, "50", "lowest resolution used for fitting, Angstrom", &P::resL_set),
    real("resH", &P::resH, "4.0", "highest resolution used for fitting, Angstrom"),
    real("overlap", &P::overlap, "0.5", "fraction by which neighbouring FFT boxes overlap"),
    integer("boxsize", &P::boxsize, "1024", "side of the square FFT boxes, pixels", &P::boxsize_set),
    integer("convsize", &P::convsize, "85",
            "side of the smoothing box of the background subtraction, pixels (boxsize/6 when only --boxsize is given)",
            &P::convsize_set),
    toggle("do_EPA", &P::do_EPA, "0", "show the equiphase average in the diagnosis image"),
    integer("EPA_oversmp", &P::EPA_oversmp, "4", "oversampling factor of the equiphase average, 1 to 16"),
    toggle("do_Hres_ref", &P::do_Hres_ref, "0", "refine once more at high resolution"),
    real("Href_resL", &P::Href_resL, "15.0", "low resolution of the high-resolution refinement, Angstrom"),
    real("Href_resH", &P::Href_resH, "4.0", "high resolution of the high-resolution refinement, Angstrom"),
    real("Href_bfac", &P::Href_bfac, "50", "B-factor of the high-resolution refinement, square Angstrom"),
    real("B_resL", &P::B_resL, "15.0", "low resolution of the B-factor estimation, Angstrom"),
    real("B_resH", &P::B_resH, "6.0", "high resolution of the B-factor estimation, Angstrom"),
    toggle("do_mdef_refine", &P::do_mdef_refine, "0", "refine the defocus of movie frames or stack images"),
    integer("mdef_aveN", &P::mdef_aveN, "7", "frames averaged per step of the movie refinement"),
    toggle("mdef_fit", &P::mdef_fit, "0", "fit a straight line to the defocus of the frames"),
    integer("mdef_ave_type", &P::mdef_ave_type, "0",
            "0 coherent average of frames, 1 incoherent average of frame spectra"),
    toggle("do_local_refine", &P::do_local_refine, "0", "refine the defocus of every particle"),
    toggle("refine_local_astm", &P::refine_local_astm, "0", "also refine the astigmatism of every particle"),
    real("local_radius", &P::local_radius, "1024", "radius of a particle's neighbourhood, pixels"),
    integer("local_avetype", &P::local_avetype, "0",
            "weights of local boxes: 0 equal, 1 by distance, 2 by distance and frequency"),
    integer("local_boxsize", &P::local_boxsize, "512", "box side of the local refinement, pixels"),
    real("local_overlap", &P::local_overlap, "0.5", "overlap of the boxes around a particle"),
    real("local_resL", &P::local_resL, "15", "low resolution of the local refinement, Angstrom"),
    real("local_resH", &P::local_resH, "5", "high resolution of the local refinement, Angstrom"),
    toggle("do_phase_flip", &P::do_phase_flip, "0", "write a phase-flipped micrograph (_pf.mrc)"),
    toggle("do_validation", &P::do_validation, "0", "grade the CTF in resolution bands"),
    toggle("refine_input_ctf", &P::refine_input_ctf, "0", "refine given CTF values instead of searching"),
    text("input_ctfstar", &P::input_ctfstar, "NULL", "STAR file of micrographs with initial CTF values",
         &P::input_ctfstar_set),
    real("defU_init", &P::defU_init, "20000", "initial defocus U, Angstrom"),
    real("defV_init", &P::defV_init, "20000", "initial defocus V, Angstrom"),
    real("defA_init", &P::defA_init, "0.0", "initial astigmatism angle, degrees"),
    real("ps_init", &P::ps_init, "0.0", "initial phase shift, degrees"),
    real("B_init", &P::B_init, "200", "initial B-factor, square Angstrom"),
    real("defU_err", &P::defU_err, "500", "expected error of defocus U, Angstrom"),
    real("defV_err", &P::defV_err, "500", "expected error of defocus V, Angstrom"),
    real("defA_err", &P::defA_err, "15", "expected error of the angle, degrees"),
    real("B_err", &P::B_err, "50", "expected error of the B-factor, square Angstrom"),
    real("ps_err", &P::ps_err, "10", "expected error of the phase shift, degrees"),
    real("ctfout_resL", &P::ctfout_resL, "100", "low resolution shown in the diagnosis image, Angstrom"),
    real("ctfout_resH", &P::ctfout_resH, "2*apix+0.1", "high resolution shown in the diagnosis image, Angstrom",
         &P::ctfout_resH_set),
    real("ctfout_bfac", &P::ctfout_bfac, "50", "B-factor of the simulated half of the diagnosis image"),
    text("boxsuffix", &P::boxsuffix, "_ptclpick.star",
         "suffix of each micrograph's particle file (EMAN .box or RELION .star)"),
    {"ctfstar", OptionKind::Ctfstar, nullptr, nullptr, &P::ctfstar, nullptr, "micrographs_all_quib.star",
     "STAR file of all results (.star is appended; NULL or NONE writes none)"},
    text("logsuffix", &P::logsuffix, "_quib.log", "suffix of each micrograph's log file"),
    toggle("write_local_ctf", &P::write_local_ctf, "0", "write a diagnosis image per particle (_local.ctf)"),
    toggle("do_unfinished", &P::do_unfinished, "0", "skip micrographs whose log says they are done",
           &P::do_unfinished_set),
    toggle("skip_check_mrc", &P::skip_check_mrc, "0", "kept for older command lines; no stage reads it"),
    toggle("skip_check_gpu", &P::skip_check_gpu, "0", "use --gid as given, without testing the device"),
    toggle("plot_res_ring", &P::plot_res_ring, "1", "draw the resolution ring in the diagnosis image"),
    integer("gid", &P::gid, "0", "number of the GPU device"),
    {"help", OptionKind::Help, nullptr, nullptr, nullptr, nullptr, "", "the full help (first argument only)"},

    toggle("do_basic_rotave", &P::do_basic_rotave, "0", "show the rotational average in the diagnosis image"),
    toggle("refine_after_EPA", &P::refine_after_EPA, "0", "kept for older command lines"),
    toggle("estimate_B", &P::estimate_B, "1", "estimate the B-factor of every micrograph"),
    integer("local_boxtype", &P::local_boxtype, "1", "kind of local boxes: 1 from the particle file"),
    toggle("refine_tilt", &P::refine_tilt, "0", "kept for older command lines"),
    truncated("init_tilt_ang", &P::init_tilt_ang, "0", "kept for older command lines"),
    truncated("init_tilt_err", &P::init_tilt_err, "0", "kept for older command lines"),
    toggle("output_time", &P::output_time, "0", "kept for older command lines; timings are always printed"),
    integer("seed", &P::seed, "clock", "fixes the random draws of the refinements, so runs repeat exactly",
            &P::seed_set),
    integer("ctfstar_format", &P::ctfstar_format, "30",
            "layout of the STAR file: 30 one table (RELION 3.0), 31 optics and micrographs tables (RELION 3.1+)"),
    text("gain", &P::gain, "NULL", "gain reference (MRC or TIFF, one image) that multiplies every frame"),
    toggle("write_profile", &P::write_profile, "0",
           "write each micrograph's fit profile (_profile.txt): spectrum and fitted CTF^2 by frequency"),
    toggle("quiet", &P::quiet, "0",
           "print only one progress line per micrograph, warnings and the summary (the logs keep everything)"),
    text("watch", &P::watch, "NULL",
         "keep running: process every file matching this quoted pattern, and each new one once it is written"),
    real("watch_idle", &P::watch_idle, "0", "end a --watch run after this many minutes without a new file (0: never)"),
};

const QuibOption* find_quib_option(const char* arg) {
  for (const QuibOption& option : QUIB_OPTIONS)
    if (keywd_cmp(arg, option.name)) return &option;
  return nullptr;
}

const QuibOption* quib_option_named(const char* name) {
  for (const QuibOption& option : QUIB_OPTIONS)
    if (strcmp(option.name, name) == 0) return &option;
  return nullptr;
}
