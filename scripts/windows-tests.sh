#!/usr/bin/env bash
# Cross-compiles the Qt-free units for Windows with mingw-w64 and runs their tests under Wine.
# Usage: scripts/windows-tests.sh [build-dir]   (default build/windows; the Wine prefix is kept
# there between runs)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/windows}"

toolchain="$root/cmake/mingw-w64.cmake"
# A build folder configured with a toolchain file elsewhere (an older tree) starts afresh.
if [ -f "$build/CMakeCache.txt" ] && [ "$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' \
  "$build/CMakeCache.txt")" != "$toolchain" ]; then
  rm -rf "$build"
fi
cmake -S "$root/tests/windows" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$build" -j 2 >/dev/null

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The Wine server outlives the test by a few seconds; stop it so nothing holds the output.
trap '"$(dirname "$wine")/wineserver" -k 2>/dev/null || true' EXIT
"$wine" "$build/windows_tests.exe" 2> >(grep -v -e '^wine: ' -e 'fixme:' >&2)
