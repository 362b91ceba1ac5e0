// The main of every test program: one workspace for the whole program, and a listener that fails
// a test during which device work failed, so that a GPU fault fails that test instead of ending
// the test program.
#include <gtest/gtest.h>

#include <cstdlib>

#include "backend/device_failure.h"
#include "backend/workspace.h"

namespace {

class DeviceFailureListener : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo&) override {
    if (!device_failed()) return;
    const DeviceFailure failure = device_failure();
    ADD_FAILURE() << "device failure in " << failure.function << "() (" << failure.unit << "): " << failure.text << "; "
                  << failure.count << " failure(s) in all";
    clear_device_failure();
  }
};

}  // namespace

int main(int argc, char** argv) {
  // Tests compare exact results and start many short runs: FFTW's estimated plans, the same on every
  // machine and free to make, serve them (the programs they start inherit this). The test of the
  // measured plans names its own wisdom file.
  setenv("QUIB_FFT_WISDOM", "estimate", 0);
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new DeviceFailureListener);
  WorkspaceScope workspace;
  return RUN_ALL_TESTS();
}
