#!/usr/bin/env bash
# Cross-builds the whole project for Windows with mingw-w64 and the Qt of scripts/windows-qt.sh,
# runs its tests under Wine (SQLite; Qt's offscreen platform) and takes a screenshot of the
# console on the demo database (build-dir/shot.png).
# Usage: scripts/windows-module.sh [build-dir]   (default build/windows-module)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
qt="${KVZ_QT_WINDOWS:-$HOME/.cache/kvz/qt6-mingw}"
build="${1:-$root/build/windows-module}"
if [ ! -f "$qt/kvz-complete" ]; then
  echo "no Qt for Windows in $qt: build it with scripts/windows-qt.sh" >&2
  exit 1
fi

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DKVZ_QT_WINDOWS="$qt" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DKVZ_BUILD_BENCH=OFF -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" >/dev/null
cmake --build "$build" -j 2

# The programs find Qt, SQLite and the mingw run time through WINEPATH, Qt's plugins beside Qt.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
winpath() { "$wine" winepath -w "$1" 2>/dev/null; }
runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")"
# The build's own folder too: packages the tests write elsewhere run OutMain's code.
WINEPATH="$(winpath "$qt/bin");$(winpath "$runtime");$(winpath /usr/x86_64-w64-mingw32/lib)"
WINEPATH="$WINEPATH;$(winpath "$build/bin")"
QT_PLUGIN_PATH="$(winpath "$qt/plugins")"
export WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM=offscreen
trap '"$(dirname "$wine")/wineserver" -k 2>/dev/null || true' EXIT
(cd "$build" && ctest --output-on-failure -j 2)
# The screenshot through Wine's own display (its fonts, the system's CJK fonts through
# fontconfig) when an X server can be had; Qt's offscreen platform on Windows has no fonts.
rm -f "$build/demo.db" "$build/shot.png"
if command -v xvfb-run >/dev/null; then
  (cd "$build" && QT_QPA_PLATFORM=windows xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$wine" bin/kvzconsole.exe --demo --sqlite demo.db --screenshot shot.png)
else
  (cd "$build" && "$wine" bin/kvzconsole.exe --demo --sqlite demo.db --screenshot shot.png)
fi
echo "screenshot: $build/shot.png"
