#!/usr/bin/env bash
# One short check on a machine with an NVIDIA GPU: builds the CUDA backend, runs the whole test
# suite on the GPU, runs the benchmarks and times quib on simulated 4096^2 micrographs, and prints
# a short table. Usage: bash bench/gpu_check.sh [build folder]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-cuda}
jobs=$(nproc)
nvidia-smi --query-gpu=name,memory.total --format=csv,noheader || true

cmake -S . -B "$build" -DQUIB_CUDA=ON -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build "$build" -j"$jobs" >/dev/null || exit 1

echo "== tests on the GPU"
ctest --test-dir "$build" -j4 --output-on-failure 2>&1 | tail -n 15

echo "== benchmarks"
for b in bench_array bench_spectrum bench_refine bench_epa; do
  [ -x "$build/$b" ] && "$build/$b" --benchmark_min_time=0.2 2>/dev/null | grep -E '^BM_'
done

echo "== whole program, 4096^2 micrographs"
python3 bench/run_bench.py --build "$build" --set speed --count 4 | tail -n 14
python3 bench/run_bench.py --build "$build" --set accuracy --count 8 | tail -n 16
