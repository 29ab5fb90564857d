#!/usr/bin/env bash
# Builds the project and runs every test (SQLite and a throw-away PostgreSQL server that the
# run starts itself), then each fuzz target for 10 seconds. Usage: scripts/test.sh [--sanitize]
# (--sanitize: the tests under AddressSanitizer and UndefinedBehaviorSanitizer, no fuzzing)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
args=()
fuzz=1
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-asan"
  args=(-DKVZ_SANITIZE=ON -DKVZ_BUILD_BENCH=OFF)
  fuzz=0
fi
bash "$root/scripts/build.sh" "$build" "${args[@]}"
cd "$build"
ctest --output-on-failure -j "$(nproc)"
if [ "$fuzz" = 1 ]; then
  bash "$root/scripts/fuzz.sh" 10
fi
