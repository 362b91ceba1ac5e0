// The parameter checks: every repair with its exact warning, the values left alone, and the
// refusals of values that would stall or overflow later stages.
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
      {"apix too large", [](QUIB_Para& p) { p.apix = 200; }, [](const QUIB_Para& p) { return p.apix; }, 1.34f,
       "Warning: Invalid pixel size 200.00! Exit now. Make sure you are using the right value, typically 0.5~3.0. "
       "Set it as default 1.34.\n"},
      {"apix 0.01 compared in double", [](QUIB_Para& p) { p.apix = 0.01f; }, [](const QUIB_Para& p) { return p.apix; },
       1.34f,
       "Warning: Invalid pixel size 0.01! Exit now. Make sure you are using the right value, typically 0.5~3.0. Set "
       "it as default 1.34.\n"},
      {"apix small but kept", [](QUIB_Para& p) { p.apix = 0.2f; p.resH = 4; }, [](const QUIB_Para& p) { return p.apix; },
       0.2f,
       "Warning: pixel size 0.20 too large or small! Program will still run, but make sure you are using the right "
       "value, typically 0.5~3.0.\n"},
      {"dstep 0.1 passes in double", [](QUIB_Para& p) { p.dstep = 0.1f; }, [](const QUIB_Para& p) { return p.dstep; },
       0.1f, ""},
      {"dstep too small", [](QUIB_Para& p) { p.dstep = 0.05f; }, [](const QUIB_Para& p) { return p.dstep; }, 14.0f,
       "Warning: Invalid detector size 0.05! Exit now. Make sure you are using the right value, typically "
       "3.0~30.0.Set it as default 14.0.\n"},
      {"kV", [](QUIB_Para& p) { p.kV = 5; }, [](const QUIB_Para& p) { return p.kV; }, 300.0f,
       "Waring: Invalid high tension value kV=5.00. Exit now. Make sure you are using the right value, typically "
       "300, 200, 120kV.\n"},
      {"cs", [](QUIB_Para& p) { p.cs = 100; }, [](const QUIB_Para& p) { return p.cs; }, 2.7f,
       "Waring: too small or large --Cs 100.00! Make sure you are using the right value, typically 2.0~2.7 in "
       "general case or ~0 for Cs corrected microscope. Set it as default.\n"},
      {"ac", [](QUIB_Para& p) { p.ac = 1.5f; }, [](const QUIB_Para& p) { return p.ac; }, 0.1f,
       "Waring: too small or large --ac 1.50! Make sure you are using the right value, typically 0.04~0.1. Set it as "
       "default.\n"},
      {"bfac", [](QUIB_Para& p) { p.bfac = -500; }, [](const QUIB_Para& p) { return p.bfac; }, 150.0f,
       "Waring: too small or large --bfac -500.00! Make sure you are using the right value, typically 0~500. Set it "
       "as default.\n"},
      {"defL above defH", [](QUIB_Para& p) { p.defL = 30000; p.defH = 20000; }, [](const QUIB_Para& p) { return p.defL; },
       20000.0f, "Warning: defL larger than defH, swapping them ...\n"},
      {"defH after swap", [](QUIB_Para& p) { p.defL = 30000; p.defH = 20000; }, [](const QUIB_Para& p) { return p.defH; },
       30000.0f, "Warning: defL larger than defH, swapping them ...\n"},
      {"defocus range too narrow", [](QUIB_Para& p) { p.defL = 5000; p.defH = 5005; p.defS = 1; },
       [](const QUIB_Para& p) { return p.defH; }, 5010.0f,
       "Warning: difference between defH and defL is too smaller, forcing them to be larger than 10.0 angstrom.\n"},
      {"negative defS", [](QUIB_Para& p) { p.defS = -100; }, [](const QUIB_Para& p) { return p.defS; }, 100.0f,
       "Warning: defS smaller than 0, forcing it to be positive ...\n"},
      {"defS beyond the range", [](QUIB_Para& p) { p.defS = 100000; }, [](const QUIB_Para& p) { return p.defS; },
       (90000.0f - 5000.0f) / 3.0f,
       "Warning:  def_step is larger than (defH - defL), forcing it to be (defH - defL)/3 ...\n"},
      {"negative astm", [](QUIB_Para& p) { p.astm = -20000; }, [](const QUIB_Para& p) { return p.astm; }, 20000.0f, ""},
      {"large astm", [](QUIB_Para& p) { p.astm = 20000; }, [](const QUIB_Para& p) { return p.astm; }, 1000.0f,
       "Waring: too large --astm 20000.00! Make sure you are using the right value, typically 100~3000 angstrom. Set "
       "it as default 1000.0 angstrom. \n"},
      {"resH above resL", [](QUIB_Para& p) { p.resL = 8; p.resH = 20; }, [](const QUIB_Para& p) { return p.resL; },
       20.0f,
       "Warning: resL smaller than resH, swapping them ...\n"},
      {"resH below Nyquist", [](QUIB_Para& p) { p.apix = 1; p.resH = 1; }, [](const QUIB_Para& p) { return p.resH; },
       2.0f,
       "Waring: Invalid resH 1.00! Exit now. Make sure you are using the right value, typically 4.0~8.0 angstrom, and "
       "must be smaller than 30.Set it as default 4.0 angstrom.\n"},
      {"resH above 30", [](QUIB_Para& p) { p.apix = 1; p.resH = 50; }, [](const QUIB_Para& p) { return p.resH; }, 4.0f,
       "Waring: Invalid resH 50.00! Too big for reliable CTF determination! Reset to min{4.0, Nyquist} Make sure you "
       "are using the right value, typically 4.0~8.0 angstrom, and must be smaller than 30.Set it as default 4.0 "
       "angstrom.\n"},
      {"resH above 30 with coarse pixels",
       [](QUIB_Para& p) { p.apix = 3; p.resH = 50; p.resL = 100; p.B_resH = 7; },
       [](const QUIB_Para& p) { return p.resH; }, 6.0f,
       "Waring: Invalid resH 50.00! Too big for reliable CTF determination! Reset to min{4.0, Nyquist} Make sure you "
       "are using the right value, typically 4.0~8.0 angstrom, and must be smaller than 30.Set it as default 4.0 "
       "angstrom.\n"},
      {"resH large but kept", [](QUIB_Para& p) { p.resH = 15; }, [](const QUIB_Para& p) { return p.resH; }, 15.0f,
       "Waring: too large resH 15.00! Program will still run, but make sure you are using the right value, typically "
       "4.0~8.0 angstrom, and must be smaller than 30.0 angstrom.\n"},
      {"resL too small", [](QUIB_Para& p) { p.resL = 5; p.resH = 3; }, [](const QUIB_Para& p) { return p.resL; }, 50.0f,
       "Waring: Invalid resL 5.00! Exit now. Make sure you are using the right value, typically 500~50 angstrom, and "
       "must be larger than 15. Set as default 50.0 angstrom.\n"},
      {"resL small but kept", [](QUIB_Para& p) { p.resL = 12; }, [](const QUIB_Para& p) { return p.resL; }, 12.0f,
       "Waring: too small resL 12.00! Program will still run, but make sure you are using the right value, typically "
       "500~50 angstrom, and usually larger than 10.0 angstrom.\n"},
      {"boxsize too large", [](QUIB_Para& p) { p.boxsize = 2049; }, [](const QUIB_Para& p) { return p.boxsize; }, 1024,
       "Waring: too large  --boxsize 2049! Make sure you are using the right value, typically 512 or 1024, can't be "
       "larger than 2048(2048 still fine). Set it as default 1024. \n"},
      {"boxsize too small", [](QUIB_Para& p) { p.boxsize = 127; p.convsize = 10; },
       [](const QUIB_Para& p) { return p.boxsize; }, 1024,
       "Waring: too small  --boxsize 127! Make sure you are using the right value, typically 512 or 1024, can't be "
       "smaller than 128(128 still fine). Set it as default 1024. \n"},
      {"overlap too large", [](QUIB_Para& p) { p.overlap = 0.95f; }, [](const QUIB_Para& p) { return p.overlap; }, 0.9f,
       "Waring: too large --overlap 0.95! Make sure you are using the right value, range 0.0~0.9, best. Set it as "
       "0.9. \n"},
      {"overlap negative", [](QUIB_Para& p) { p.overlap = -0.1f; }, [](const QUIB_Para& p) { return p.overlap; }, 0.0f,
       "Waring: too small --overlap -0.10! Make sure you are using the right value, typically 0.0~0.9. Set it as "
       "0.0. \n"},
      {"convsize too large", [](QUIB_Para& p) { p.convsize = 600; }, [](const QUIB_Para& p) { return p.convsize; }, 85,
       "Waring: too large --convsize 600! Make sure you are using the right value, typically 0.0~0.9. Set it as "
       "default boxsize/12 . \n"},
      {"B_resH below Nyquist", [](QUIB_Para& p) { p.apix = 4; p.resH = 10; p.B_resH = 6; },
       [](const QUIB_Para& p) { return p.B_resH; }, 8.0f, ""},
      {"phase_shift_L 400", [](QUIB_Para& p) { p.phase_shift_L = 400; },
       [](const QUIB_Para& p) { return p.phase_shift_L; }, 40.0f, ""},
      {"phase_shift_L -30", [](QUIB_Para& p) { p.phase_shift_L = -30; p.phase_shift_H = 350; },
       [](const QUIB_Para& p) { return p.phase_shift_L; }, 330.0f, ""},
      {"phase_shift_H 360 stays", [](QUIB_Para& p) { p.phase_shift_H = 360; },
       [](const QUIB_Para& p) { return p.phase_shift_H; }, 360.0f, ""},
      {"phase shifts swapped", [](QUIB_Para& p) { p.phase_shift_L = 200; p.phase_shift_H = 100; },
       [](const QUIB_Para& p) { return p.phase_shift_L; }, 100.0f, ""},
      {"phase step too large", [](QUIB_Para& p) { p.phase_shift_S = 200; },
       [](const QUIB_Para& p) { return p.phase_shift_S; }, 200.0f,
       "Waring: too large  phase shift search step: --phase_shift_S 200.000000! Make sure you are using the right "
       "value, typically 3-15. \n"},
      {"phase target", [](QUIB_Para& p) { p.phase_shift_T = 3; }, [](const QUIB_Para& p) { return p.phase_shift_T; },
       1,
       "Waring: invalide --phase_shift_T 3! Make sure you are using the right value: 1 or 2. Forced to set "
       "--phase_shift_T  1\n"},
      {"movie line fit", [](QUIB_Para& p) { p.mdef_fit = 1; }, [](const QUIB_Para& p) { return p.mdef_fit; }, 1,
       "Linear fitting for movie CTF is only allowed for coherent averaging (--mdef_ave_type 1).\n"},
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

TEST(ChecksDeath, ValuesThatWouldStallOrOverflowLaterStages) {
  struct Case {
    const char* what;
    std::function<void(QUIB_Para&)> set;
    const char* message;
  } cases[] = {
      {"zero defS", [](QUIB_Para& p) { p.defS = 0; },
       "Invalid --defS 0: the defocus search step must be larger than 0! Exit now!"},
      {"zero phase step", [](QUIB_Para& p) { p.do_phase_shift = 1; p.phase_shift_S = 0; },
       "Invalid --phase_shift_S 0.00: the phase-shift search step must be larger than 0! Exit now!"},
      {"negative phase step", [](QUIB_Para& p) { p.do_phase_shift = 1; p.phase_shift_S = -5; },
       "Invalid --phase_shift_S -5.00: the phase-shift search step must be larger than 0! Exit now!"},
      {"no frames averaged", [](QUIB_Para& p) { p.mdef_aveN = 0; },
       "Invalid --mdef_aveN 0: at least one frame must be averaged! Exit now!"},
      {"local step 0", [](QUIB_Para& p) { p.do_local_refine = 1; p.local_overlap = 0.999f; },
       "Invalid local grid: step \\(1 - local_overlap\\) \\* local_boxsize = 0 pixels, it must be at least 1! Exit "
       "now!"},
      {"local step negative", [](QUIB_Para& p) { p.do_local_refine = 1; p.local_overlap = 1.5f; },
       "Invalid local grid: step \\(1 - local_overlap\\) \\* local_boxsize = -256 pixels"},
      {"just too many boxes", [](QUIB_Para& p) { p.do_local_refine = 1; p.local_overlap = 0.97f; },
       "Too many local boxes: --local_radius 1024.00 with a grid step of 15 pixels exceeds 10240 boxes around a "
       "particle! Exit now!"},
      {"far too many boxes", [](QUIB_Para& p) { p.do_local_refine = 1; p.local_radius = 1e9f; },
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
