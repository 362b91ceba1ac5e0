#!/usr/bin/env bash
# Builds quib with the CPU backend, simulates a micrograph with a known CTF and runs quib on it.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" = 0 ] && command -v apt-get >/dev/null && bash tools/install_deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target quib quib_simulate

mkdir -p demo
truth=$(build/quib_simulate -o demo/demo.mrc --nx 4096 --ny 4096 --apix 1.0 \
          --defU 18500 --defV 19600 --angle 35 --bfac 80 --dose 40 --seed 7 | grep QUIB_SIMULATE_TRUTH)
build/quib --help | head -n 12
(cd demo && ../build/quib --apix 1.0 --seed 1 demo.mrc)
echo
echo "Simulated with: ${truth#QUIB_SIMULATE_TRUTH }"
