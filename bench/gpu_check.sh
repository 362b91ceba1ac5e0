#!/usr/bin/env bash
# One short check on a machine with an NVIDIA GPU: builds the CUDA backend, runs the whole test
# suite on the GPU, runs the benchmarks and times quib on simulated 4096^2 micrographs, and prints
# a short table. A second build of quib alone, without the wait after every kernel
# (QUIB_SYNC_LAUNCHES=OFF), is timed on the same micrographs to measure what the waits cost.
# Usage: bash bench/gpu_check.sh [build folder]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-cuda}
async_build=$build-async
jobs=$(nproc)
nvidia-smi --query-gpu=name,memory.total --format=csv,noheader || true

cmake -S . -B "$build" -DQUIB_CUDA=ON -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build "$build" -j"$jobs" >/dev/null || exit 1

# The second build compiles while the tests run; it is done before anything is timed.
(cmake -S . -B "$async_build" -DQUIB_CUDA=ON -DCMAKE_BUILD_TYPE=Release -DQUIB_SYNC_LAUNCHES=OFF -DBUILD_TESTING=OFF &&
  nice cmake --build "$async_build" --target quib -j"$jobs") >"$async_build.log" 2>&1 &
async_pid=$!

echo "== tests on the GPU"
ctest --test-dir "$build" -j4 --output-on-failure 2>&1 | tail -n 15

wait "$async_pid"
async_status=$?

echo "== benchmarks"
for b in bench_array bench_spectrum bench_refine bench_epa; do
  [ -x "$build/$b" ] && "$build/$b" --benchmark_min_time=0.2 2>/dev/null | grep -E '^BM_'
done

echo "== whole program, 4096^2 micrographs, waiting after every kernel (QUIB_SYNC_LAUNCHES=ON)"
speed=$(mktemp -d)
python3 bench/run_bench.py --build "$build" --set speed --count 4 --keep "$speed/sync" | tail -n 14
if [ "$async_status" -eq 0 ]; then
  # Both runs use the same simulator, so they see the same micrographs.
  ln -sf "$PWD/$build/quib_simulate" "$async_build/quib_simulate"
  echo "== whole program, 4096^2 micrographs, no wait after kernels (QUIB_SYNC_LAUNCHES=OFF)"
  python3 bench/run_bench.py --build "$async_build" --set speed --count 4 --keep "$speed/async" | tail -n 14
  for star in "$speed"/sync/run_*.star; do
    cmp -s "$star" "$speed/async/$(basename "$star")" && echo "STAR rows identical: $(basename "$star")" ||
      echo "STAR rows DIFFER: $(basename "$star")"
  done
else
  echo "== the QUIB_SYNC_LAUNCHES=OFF build failed:"
  tail -n 20 "$async_build.log"
fi
rm -rf "$speed"
python3 bench/run_bench.py --build "$build" --set accuracy --count 8 | tail -n 16
