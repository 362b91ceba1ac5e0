// The parameter echo on standard output: the options as typed, the values in use and the lists
// of micrographs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "param_test_args.h"
#include "run/echo.h"

namespace {

std::vector<std::string> echo_lines(Args& args, const QUIB_Para& p) {
  return lines_of(captured_stdout([&] { EXPECT_EQ(Quib_put_parameters(args.argc(), args.argv(), &p), 0); }));
}

TEST(Echo, OptionsAsTyped) {
  Args args{"--apix", "1.06", "-KV", "200", "--do_EPA", "--skip_check_mrc", "--ctfstar", "out", "--local_resH", "5.5",
            "--boxsize", "512", "--do_validation", "0", "--mdef_fit", "7", "--logsuffix", "_l.log", "a.mrc", "b.mrc"};
  const QUIB_Para p = parsed(args);
  const std::vector<std::string> lines = echo_lines(args, p);
  const std::vector<std::string> typed = {
      std::string(99, '*'),
      "User input parameters:",
      "        --apix               1.060",
      "        --kv                 200.00",
      "        --do_EPA             1",
      "        --skip_check_mrc      1",
      "        --ctfstar            out",
      "        --local_resH         5.50",
      "        --boxsize            512",
      "        --do_validation      0",
      "        --mdef_fit           1",
      "        --logsuffix          _l.log",
      "",
      "All parameters to be used:",
  };
  ASSERT_GE(lines.size(), typed.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + typed.size()), typed);
  const std::vector<std::string> files = {"", "All 2 files to be searched and refined:", "        a.mrc",
                                          "        b.mrc"};
  EXPECT_EQ(std::vector<std::string>(lines.end() - files.size(), lines.end()), files);
}

TEST(Echo, ValuesInUseInTheirGroups) {
  Args args{"--phase_shift_L", "30", "--skip_check_gpu", "a.mrc"};
  const QUIB_Para p = parsed(args);
  const std::vector<std::string> lines = echo_lines(args, p);
  // The index of the first line equal to text after index `after`, or the line count.
  auto at = [&](const std::string& text, long after = -1) {
    return std::find(lines.begin() + after + 1, lines.end(), text) - lines.begin();
  };
  const std::vector<std::string> in_order = {
      "        --skip_check_gpu      1",
      "All parameters to be used:",
      "General options:",
      "        --kv                 300.00",
      "Phase shift options: ON",
      "        --phase_shift_L      30.00",
      "        --phase_shift_S      5.00",
      "Advanced options:",
      "        --defS               200.00",
      "        --convsize           25",
      "        --do_validation      0",
      "        --refine_after_EPA   0",
      "Bfactor estimation options:",
      "Movie options:",
      "Local refinement options:",
      "        --local_avetype      0",
      "Correction options:  ",
      "         --do_phase_flip     0",
      "Validation options:  ",
      "         --do_validation     0",
      "Input CTF parameters for refinement:",
      "        --input_ctfstar      NULL",
      "Diagnosis CTF output options:",
      "I/O options:",
      "        --plot_res_ring      1",
      "        --skip_check_mrc     0",
      "        --skip_check_gpu     1",
      "        --gid                0",
      "        --do_unfinished      0",
      "All 1 files to be searched and refined:",
  };
  long previous = -1;
  for (const std::string& line : in_order) {
    const long index = at(line, previous);
    ASSERT_LT(index, static_cast<long>(lines.size())) << "missing or out of order: " << line;
    previous = index;
  }
  EXPECT_EQ(at("        --local_boxtype      1"), static_cast<long>(lines.size())) << "not part of the echo";
  EXPECT_EQ(at("All 0 files to be refined:"), static_cast<long>(lines.size()));
}

}  // namespace
