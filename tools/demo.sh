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
(cd demo && ../build/quib --apix 1.0 --seed 1 demo.mrc)

echo
echo "Demo micrograph demo/demo.mrc; its log, EPA file and diagnosis image (demo/demo.ctf) are beside it."
awk -v truth="$truth" '
  BEGIN {
    n = split(truth, words, " ")
    for (i = 1; i <= n; i++) { split(words[i], kv, "="); t[kv[1]] = kv[2] }
  }
  $1 == "demo.mrc" {
    printf "%-24s %12s %20s\n", "", "simulated", "determined by quib"
    printf "%-24s %12.1f %20.1f\n", "defocus U (A)", t["defU"], $3
    printf "%-24s %12.1f %20.1f\n", "defocus V (A)", t["defV"], $4
    printf "%-24s %12.1f %20.2f\n", "astigmatism angle (deg)", t["angle"], $5
    printf "%-24s %12s %20.2f\n", "resolution limit (A)", "", $12
  }' demo/micrographs_all_quib.star
