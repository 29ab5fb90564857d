#!/usr/bin/env bash
# Builds the project and runs every test (SQLite and a throw-away PostgreSQL server that the
# run starts itself). Usage: scripts/test.sh [--sanitize]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
args=()
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-asan"
  args=(-DKVZ_SANITIZE=ON -DKVZ_BUILD_BENCH=OFF)
fi
bash "$root/scripts/build.sh" "$build" "${args[@]}"
cd "$build"
ctest --output-on-failure -j "$(nproc)"
