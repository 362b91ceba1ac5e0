// The main of every benchmark program: the benchmarks run inside one workspace.
#include <benchmark/benchmark.h>

#include "backend/workspace.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  WorkspaceScope workspace;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
