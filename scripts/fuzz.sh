#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz (only they and the libraries they link) and
# runs each for SECONDS (default 300) on a copy of its seeds. Exits non-zero when a target
# finds a fault; the input is saved under build-fuzz/fuzz/<target>/findings.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-300}"
build="$root/build-fuzz"
# The compiler is read only when the build folder is configured the first time.
CXX=clang++ bash "$root/scripts/build.sh" "$build" -DKVZ_FUZZ=ON -DKVZ_BUILD_TESTS=OFF \
  -DKVZ_BUILD_BENCH=OFF
cd "$build"
KVZ_FUZZ_SECONDS="$seconds" ctest --output-on-failure -L fuzz -j "$(nproc)" \
  --timeout "$((seconds + 300))"
