#!/usr/bin/env bash
# Installs the Debian packages quib builds and tests with (needs root; skips what is present).
set -euo pipefail
packages=(build-essential cmake python3 python3-mrcfile python3-numpy python3-matplotlib libfftw3-dev libtiff-dev libgtest-dev libbenchmark-dev clang libclang-rt-14-dev libomp-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
