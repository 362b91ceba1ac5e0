// The parameter checks: every repair with its exact warning, the values left alone, and the
// refusals of values that no stage can use or that would stall or overflow later stages.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "param_test_args.h"
#include "run/checks.h"

namespace {

// A record with defaults and one micrograph, ready for the checks.
QUIB_Para checkable() {
  Args args{"a.mrc"};
  QUIB_Para p;
  Quib_init_parameters(args.argc(), args.argv(), &p);
  quib_append_micrograph(&p, "a.mrc", CTF_INIT{});
  return p;
}

std::string checked(QUIB_Para& p) {
  Args args{"a.mrc"};
  return captured_stdout([&] { Quib_check_parameters(args.argc(), args.argv(), &p); });
}

struct CheckCase {
  const char* what;
  std::function<void(QUIB_Para&)> set;
  std::function<double(const QUIB_Para&)> get;
  double expected;
  std::string message;  // everything the checks print
};

TEST(Checks, RepairsAndWarningsInTheirOrder) {
  const CheckCase cases[] = {
      {"apix small but kept",
       [](QUIB_Para& p) {
         p.apix = 0.2f;
         p.resH = 4;
       },
       [](const QUIB_Para& p) { return p.apix; }, 0.2f,
       "Warning: --apix 0.2 is an unusual pixel size (typically 0.5 to 3.0 Angstrom); the run goes on with it.\n"},
      {"dstep 0.1 passes in double", [](QUIB_Para& p) { p.dstep = 0.1f; }, [](const QUIB_Para& p) { return p.dstep; },
       0.1f, ""},
      {"optics at the ends of their ranges",
       [](QUIB_Para& p) {
         p.kV = 500;
         p.cs = 0;
         p.ac = 1;
         p.apix = 100;
         p.resL = 500;
         p.resH = 250;
       },
       [](const QUIB_Para& p) { return p.kV + p.cs + p.ac; }, 501.0f,
       "Warning: --apix 100 is an unusual pixel size (typically 0.5 to 3.0 Angstrom); the run goes on with it.\n"
       "Warning: --resH 250 is too coarse for a reliable CTF fit (it must be 30 Angstrom or finer, typically 4 to 8); "
       "200 Angstrom, the coarser of 4 Angstrom and Nyquist, is used instead.\n"},
      {"bfac", [](QUIB_Para& p) { p.bfac = -500; }, [](const QUIB_Para& p) { return p.bfac; }, 150.0f,
       "Warning: --bfac -500 is outside -500 to 5000 square Angstrom (typically 0 to 500); the default 150 is used "
       "instead.\n"},
      {"defL above defH",
       [](QUIB_Para& p) {
         p.defL = 30000;
         p.defH = 20000;
       },
       [](const QUIB_Para& p) { return p.defL; }, 20000.0f, "Warning: defL larger than defH, swapping them ...\n"},
      {"defH after swap",
       [](QUIB_Para& p) {
         p.defL = 30000;
         p.defH = 20000;
       },
       [](const QUIB_Para& p) { return p.defH; }, 30000.0f, "Warning: defL larger than defH, swapping them ...\n"},
      {"defocus range too narrow",
       [](QUIB_Para& p) {
         p.defL = 5000;
         p.defH = 5005;
         p.defS = 1;
       },
       [](const QUIB_Para& p) { return p.defH; }, 5010.0f,
       "Warning: --defH and --defL are less than 10 Angstrom apart; --defH is set to --defL + 10.\n"},
      {"negative defS", [](QUIB_Para& p) { p.defS = -100; }, [](const QUIB_Para& p) { return p.defS; }, 100.0f,
       "Warning: defS smaller than 0, forcing it to be positive ...\n"},
      {"defS beyond the range", [](QUIB_Para& p) { p.defS = 100000; }, [](const QUIB_Para& p) { return p.defS; },
       (90000.0f - 5000.0f) / 3.0f,
       "Warning: --defS is larger than the range --defH - --defL; it is set to a third of the range.\n"},
      {"negative astm", [](QUIB_Para& p) { p.astm = -20000; }, [](const QUIB_Para& p) { return p.astm; }, 20000.0f, ""},
      {"large astm", [](QUIB_Para& p) { p.astm = 20000; }, [](const QUIB_Para& p) { return p.astm; }, 1000.0f,
       "Warning: --astm 20000 is too large (typically 100 to 3000 Angstrom); the default 1000 Angstrom is used "
       "instead.\n"},
      {"resH above resL",
       [](QUIB_Para& p) {
         p.resL = 8;
         p.resH = 20;
       },
       [](const QUIB_Para& p) { return p.resL; }, 20.0f, "Warning: resL smaller than resH, swapping them ...\n"},
      {"resH below Nyquist",
       [](QUIB_Para& p) {
         p.apix = 1;
         p.resH = 1;
       },
       [](const QUIB_Para& p) { return p.resH; }, 2.0f,
       "Warning: --resH 1 lies beyond Nyquist; the fit stops at Nyquist, 2 Angstrom (2 x --apix).\n"},
      {"resH above 30",
       [](QUIB_Para& p) {
         p.apix = 1;
         p.resH = 50;
         p.resL = 100;
       },
       [](const QUIB_Para& p) { return p.resH; }, 4.0f,
       "Warning: --resH 50 is too coarse for a reliable CTF fit (it must be 30 Angstrom or finer, typically 4 to 8); "
       "4 Angstrom, the coarser of 4 Angstrom and Nyquist, is used instead.\n"},
      {"resH above 30 with coarse pixels",
       [](QUIB_Para& p) {
         p.apix = 3;
         p.resH = 50;
         p.resL = 100;
         p.B_resH = 7;
       },
       [](const QUIB_Para& p) { return p.resH; }, 6.0f,
       "Warning: --resH 50 is too coarse for a reliable CTF fit (it must be 30 Angstrom or finer, typically 4 to 8); "
       "6 Angstrom, the coarser of 4 Angstrom and Nyquist, is used instead.\n"},
      {"resH large but kept", [](QUIB_Para& p) { p.resH = 15; }, [](const QUIB_Para& p) { return p.resH; }, 15.0f,
       "Warning: --resH 15 is coarse for a CTF fit (typically 4 to 8 Angstrom); the run goes on with it.\n"},
      {"resL too small",
       [](QUIB_Para& p) {
         p.resL = 5;
         p.resH = 3;
       },
       [](const QUIB_Para& p) { return p.resL; }, 50.0f,
       "Warning: --resL 5 is too fine for the coarse end of the fit (it must be 6 Angstrom or coarser, typically 50 "
       "to 500); the default 50 Angstrom is used instead.\n"},
      {"resL small but kept", [](QUIB_Para& p) { p.resL = 12; }, [](const QUIB_Para& p) { return p.resL; }, 12.0f,
       "Warning: --resL 12 is fine for the coarse end of the fit (typically 50 to 500 Angstrom, usually coarser than "
       "10); the run goes on with it.\n"},
      {"boxsize too large", [](QUIB_Para& p) { p.boxsize = 2049; }, [](const QUIB_Para& p) { return p.boxsize; }, 1024,
       "Warning: --boxsize 2049 is larger than 2048 (typically 512 or 1024); the default 1024 is used instead.\n"},
      {"boxsize too small",
       [](QUIB_Para& p) {
         p.boxsize = 127;
         p.convsize = 10;
       },
       [](const QUIB_Para& p) { return p.boxsize; }, 1024,
       "Warning: --boxsize 127 is smaller than 128 (typically 512 or 1024); the default 1024 is used instead.\n"},
      {"odd boxsize", [](QUIB_Para& p) { p.boxsize = 1023; }, [](const QUIB_Para& p) { return p.boxsize; }, 1022,
       "Warning: --boxsize 1023 is odd; the even size 1022 is used instead.\n"},
      {"smallest odd boxsize",
       [](QUIB_Para& p) {
         p.boxsize = 129;
         p.convsize = 10;
       },
       [](const QUIB_Para& p) { return p.boxsize; }, 128,
       "Warning: --boxsize 129 is odd; the even size 128 is used instead.\n"},
      {"overlap too large", [](QUIB_Para& p) { p.overlap = 0.95f; }, [](const QUIB_Para& p) { return p.overlap; }, 0.9f,
       "Warning: --overlap 0.95 is larger than 0.9; 0.9 is used instead.\n"},
      {"overlap negative", [](QUIB_Para& p) { p.overlap = -0.1f; }, [](const QUIB_Para& p) { return p.overlap; }, 0.0f,
       "Warning: --overlap -0.1 is negative; 0 is used instead.\n"},
      {"convsize too large", [](QUIB_Para& p) { p.convsize = 600; }, [](const QUIB_Para& p) { return p.convsize; }, 85,
       "Warning: --convsize 600 is outside 1 to boxsize/2 = 512; boxsize/12 = 85 pixels is used instead.\n"},
      {"convsize 0 would blank every spectrum", [](QUIB_Para& p) { p.convsize = 0; },
       [](const QUIB_Para& p) { return p.convsize; }, 85,
       "Warning: --convsize 0 is outside 1 to boxsize/2 = 512; boxsize/12 = 85 pixels is used instead.\n"},
      {"convsize follows a box made even",
       [](QUIB_Para& p) {
         p.boxsize = 257;
         p.convsize = 129;
       },
       [](const QUIB_Para& p) { return p.convsize; }, 21,
       "Warning: --boxsize 257 is odd; the even size 256 is used instead.\n"
       "Warning: --convsize 129 is outside 1 to boxsize/2 = 128; boxsize/12 = 21 pixels is used instead.\n"},
      {"B_resH below Nyquist",
       [](QUIB_Para& p) {
         p.apix = 4;
         p.resH = 10;
         p.B_resH = 6;
       },
       [](const QUIB_Para& p) { return p.B_resH; }, 8.0f, ""},
      {"phase_shift_L 400", [](QUIB_Para& p) { p.phase_shift_L = 400; },
       [](const QUIB_Para& p) { return p.phase_shift_L; }, 40.0f, ""},
      {"phase_shift_L -30",
       [](QUIB_Para& p) {
         p.phase_shift_L = -30;
         p.phase_shift_H = 350;
       },
       [](const QUIB_Para& p) { return p.phase_shift_L; }, 330.0f, ""},
      {"phase_shift_H 360 stays", [](QUIB_Para& p) { p.phase_shift_H = 360; },
       [](const QUIB_Para& p) { return p.phase_shift_H; }, 360.0f, ""},
      {"phase shifts swapped",
       [](QUIB_Para& p) {
         p.phase_shift_L = 200;
         p.phase_shift_H = 100;
       },
       [](const QUIB_Para& p) { return p.phase_shift_L; }, 100.0f, ""},
      {"phase step too large", [](QUIB_Para& p) { p.phase_shift_S = 200; },
       [](const QUIB_Para& p) { return p.phase_shift_S; }, 200.0f,
       "Warning: --phase_shift_S 200 is not smaller than the searched range --phase_shift_H - --phase_shift_L "
       "(typically 3 to 15 degrees); the run goes on with it.\n"},
      {"phase target", [](QUIB_Para& p) { p.phase_shift_T = 3; }, [](const QUIB_Para& p) { return p.phase_shift_T; }, 1,
       "Warning: --phase_shift_T 3 is neither 1 nor 2; 1 (cross-correlation) is used instead.\n"},
      {"movie line fit", [](QUIB_Para& p) { p.mdef_fit = 1; }, [](const QUIB_Para& p) { return p.mdef_fit; }, 1,
       "Warning: --mdef_fit fits lines to the windows of --do_mdef_refine, which is off; no line is fitted.\n"},
      {"movie windows with a coherent movie average",
       [](QUIB_Para& p) {
         p.do_mdef_refine = 1;
         p.mdef_fit = 1;
       },
       [](const QUIB_Para& p) { return p.mdef_ave_type; }, 0,
       "Warning: --do_mdef_refine sums the spectra of each window's frames (the incoherent average of "
       "--mdef_ave_type 1); --mdef_ave_type 0 applies to the whole movie's CTF only.\n"},
      {"movie windows",
       [](QUIB_Para& p) {
         p.do_mdef_refine = 1;
         p.mdef_fit = 1;
         p.mdef_ave_type = 1;
       },
       [](const QUIB_Para& p) { return p.mdef_fit; }, 1, ""},
      {"most oversampling", [](QUIB_Para& p) { p.EPA_oversmp = 16; }, [](const QUIB_Para& p) { return p.EPA_oversmp; },
       16, ""},
      {"no oversampling", [](QUIB_Para& p) { p.EPA_oversmp = 1; }, [](const QUIB_Para& p) { return p.EPA_oversmp; }, 1,
       ""},
      {"defaults", [](QUIB_Para&) {}, [](const QUIB_Para& p) { return p.resH; }, 4.0f, ""},
  };
  for (const CheckCase& c : cases) {
    QUIB_Para p = checkable();
    c.set(p);
    EXPECT_EQ(checked(p), c.message) << c.what;
    EXPECT_FLOAT_EQ(c.get(p), c.expected) << c.what;
  }
}

TEST(Checks, LocalGridStepTruncates) {
  EXPECT_EQ(quib_local_grid_step(0.5f, 512), 256);
  EXPECT_EQ(quib_local_grid_step(0.25f, 512), 384);
  EXPECT_EQ(quib_local_grid_step(0.999f, 512), 0);
  EXPECT_EQ(quib_local_grid_step(1.5f, 512), -256);
}

TEST(Checks, LocalGridWithinTheBoxTableIsAccepted) {
  QUIB_Para p = checkable();
  p.do_local_refine = 1;
  p.local_radius = 1024;
  p.local_boxsize = 512;
  p.local_overlap = 0.96f;  // step 20: about 8200 boxes
  EXPECT_EQ(checked(p), "");
}

TEST(ChecksDeath, ValuesNoStageCanUseStopTheRun) {
  struct Case {
    const char* what;
    std::function<void(QUIB_Para&)> set;
    const char* message;
  } cases[] = {
      {"apix too large", [](QUIB_Para& p) { p.apix = 200; },
       "Invalid --apix 200: the pixel size must be larger than 0.01 and at most 100 Angstrom \\(typically 0.5 to "
       "3.0\\)! Exit now!"},
      {"apix 0.01 compared in double", [](QUIB_Para& p) { p.apix = 0.01f; }, "Invalid --apix 0.01: "},
      {"negative apix", [](QUIB_Para& p) { p.apix = -1; }, "Invalid --apix -1: "},
      {"dstep too small", [](QUIB_Para& p) { p.dstep = 0.05f; },
       "Invalid --dstep 0.05: the detector pixel size must be larger than 0.1 and at most 1000 micrometres"},
      {"kV", [](QUIB_Para& p) { p.kV = 5; }, "Invalid --kV 5: the acceleration voltage must be 10 to 500 kV"},
      {"cs", [](QUIB_Para& p) { p.cs = 100; },
       "Invalid --cs 100: the spherical aberration must be at least 0 and below 100 mm"},
      {"negative cs", [](QUIB_Para& p) { p.cs = -0.5f; }, "Invalid --cs -0.5: "},
      {"ac", [](QUIB_Para& p) { p.ac = 1.5f; }, "Invalid --ac 1.5: the amplitude contrast must be 0 to 1"},
      {"empty band",
       [](QUIB_Para& p) {
         p.resL = 10;
         p.resH = 10;
       },
       "Invalid fitting band --resL 10 --resH 10: it is empty \\(--resL must be larger than --resH\\)! Exit now!"},
      {"band wholly beyond Nyquist",
       [](QUIB_Para& p) {
         p.apix = 3;
         p.resL = 5;
         p.resH = 4;
       },
       "Invalid fitting band --resL 5 --resH 4: it lies wholly beyond Nyquist, 6 Angstrom at --apix 3! Exit now!"},
      {"band ending at Nyquist",
       [](QUIB_Para& p) {
         p.apix = 1;
         p.resL = 2;
         p.resH = 1;
       },
       "Invalid fitting band --resL 2 --resH 1: it lies wholly beyond Nyquist, 2 Angstrom"},
      {"no oversampling", [](QUIB_Para& p) { p.EPA_oversmp = 0; },
       "Invalid --EPA_oversmp 0: the oversampling of the equiphase average must be 1 to 16! Exit now!"},
      {"oversampling that takes minutes", [](QUIB_Para& p) { p.EPA_oversmp = 17; }, "Invalid --EPA_oversmp 17: "},
      {"zero defS", [](QUIB_Para& p) { p.defS = 0; },
       "Invalid --defS 0: the defocus search step must be larger than 0! Exit now!"},
      {"zero phase step",
       [](QUIB_Para& p) {
         p.do_phase_shift = 1;
         p.phase_shift_S = 0;
       },
       "Invalid --phase_shift_S 0.00: the phase-shift search step must be larger than 0! Exit now!"},
      {"negative phase step",
       [](QUIB_Para& p) {
         p.do_phase_shift = 1;
         p.phase_shift_S = -5;
       },
       "Invalid --phase_shift_S -5.00: the phase-shift search step must be larger than 0! Exit now!"},
      {"no frames averaged", [](QUIB_Para& p) { p.mdef_aveN = 0; },
       "Invalid --mdef_aveN 0: at least one frame must be averaged! Exit now!"},
      {"local step 0",
       [](QUIB_Para& p) {
         p.do_local_refine = 1;
         p.local_overlap = 0.999f;
       },
       "Invalid local grid: step \\(1 - local_overlap\\) \\* local_boxsize = 0 pixels, it must be at least 1! Exit "
       "now!"},
      {"local step negative",
       [](QUIB_Para& p) {
         p.do_local_refine = 1;
         p.local_overlap = 1.5f;
       },
       "Invalid local grid: step \\(1 - local_overlap\\) \\* local_boxsize = -256 pixels"},
      {"just too many boxes",
       [](QUIB_Para& p) {
         p.do_local_refine = 1;
         p.local_overlap = 0.97f;
       },
       "Too many local boxes: --local_radius 1024.00 with a grid step of 15 pixels exceeds 10240 boxes around a "
       "particle! Exit now!"},
      {"far too many boxes",
       [](QUIB_Para& p) {
         p.do_local_refine = 1;
         p.local_radius = 1e9f;
       },
       "Too many local boxes: --local_radius 1000000000.00 with a grid step of 256 pixels"},
  };
  for (const Case& c : cases) {
    EXPECT_EXIT_STDOUT(
        {
          QUIB_Para p = checkable();
          c.set(p);
          Args args{"a.mrc"};
          Quib_check_parameters(args.argc(), args.argv(), &p);
        },
        1, std::string("Error in function [a-z_]+\\(\\), file ctf on line [0-9]+: ") + c.message)
        << c.what;
  }
}

TEST(Checks, LocalGridIsOnlyCheckedWithLocalRefinement) {
  QUIB_Para p = checkable();
  p.local_overlap = 0.999f;
  EXPECT_EQ(checked(p), "");
}

}  // namespace
