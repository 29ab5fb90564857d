#!/usr/bin/env bash
# Cross-builds the part of Qt the module uses (Core, Gui, Widgets, Network, Sql with SQLite,
# Test) for 64-bit Windows with mingw-w64, from Debian's own qt6-base source (the host Qt's
# version), against the host Qt's tools. Installs into $KVZ_QT_WINDOWS (default
# ~/.cache/kvz/qt6-mingw); does nothing when that install is complete. Needs root for apt.
# Takes a few hours on two cores; KVZ_JOBS sets the parallel jobs (default 2).
# Usage: scripts/windows-qt.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
prefix="${KVZ_QT_WINDOWS:-$HOME/.cache/kvz/qt6-mingw}"
work="${KVZ_QT_WINDOWS_WORK:-$HOME/.cache/kvz/qt6-mingw-work}"
jobs="${KVZ_JOBS:-2}"
stamp="$prefix/kvz-complete"

if [ -f "$stamp" ]; then
  echo "Qt for Windows already in $prefix"
  exit 0
fi
started=$(date +%s)
step() { echo "== $(date -u +%H:%M:%S) (+$((($(date +%s) - started) / 60)) min) $*"; }
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo

step "packages"
$sudo apt-get install -y -q --no-install-recommends g++-mingw-w64-x86-64-posix \
  gcc-mingw-w64-x86-64-posix wine64 dpkg-dev tcl cmake ninja-build perl qt6-base-dev-tools \
  qt6-base-dev xvfb xauth >/dev/null
# Debian's source of the same suite as the installed system.
suite="$(. /etc/os-release && echo "$VERSION_CODENAME")"
if ! apt-get source --print-uris -q qt6-base >/dev/null 2>&1; then
  $sudo tee /etc/apt/sources.list.d/kvz-deb-src.sources >/dev/null <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $suite $suite-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  $sudo apt-get update -q >/dev/null
fi

hostver="$(dpkg-query -W -f '${Version}' qt6-base-dev | sed 's/+.*//')"
mkdir -p "$work"
cd "$work"
step "sources (qt6-base $hostver, sqlite3)"
[ -d "qt6-base-$hostver+dfsg" ] || apt-get source -q "qt6-base=$(dpkg-query -W -f '${Version}' qt6-base-dev)"
[ -d sqlite3-src ] || { apt-get source -q sqlite3 && mv sqlite3-3.* sqlite3-src; }

# Debian's Qt source leaves the bundled SQLite out: build SQLite's single-file form on the host
# (it needs tclsh) and compile it for Windows as sqlite3.dll in the install, which Qt's SQLite
# driver and our database layer share (the layer reads through SQLite's API on Qt's handle).
step "sqlite3 for Windows"
if [ ! -f "$prefix/lib/libsqlite3.dll.a" ]; then
  mkdir -p sqlite3-host "$prefix/bin" "$prefix/lib" "$prefix/include"
  (cd sqlite3-host && ../sqlite3-src/configure -q >/dev/null && make -s sqlite3.c >/dev/null)
  x86_64-w64-mingw32-gcc-posix -O2 -shared -DSQLITE_THREADSAFE=1 \
    -DSQLITE_ENABLE_COLUMN_METADATA sqlite3-host/sqlite3.c -o "$prefix/bin/sqlite3.dll" \
    -Wl,--out-implib,"$prefix/lib/libsqlite3.dll.a"
  cp sqlite3-host/sqlite3.h sqlite3-host/sqlite3ext.h "$prefix/include/"
fi

# Debian's source leaves out Wintab (its licence forbids modification), which the Windows
# platform plugin needs for pen tablets: build the plugin without tablet support.
plugin="qt6-base-$hostver+dfsg/src/plugins/platforms/windows"
if [ ! -d "qt6-base-$hostver+dfsg/src/3rdparty/wintab" ]; then
  sed -i 's/QT_CONFIG(tabletevent)/0 \/\* no Wintab \*\//' "$plugin"/qwindowscontext.cpp \
    "$plugin"/qwindowspointerhandler.h "$plugin"/qwindowspointerhandler.cpp
  sed -i 's/CONDITION QT_FEATURE_tabletevent$/CONDITION QT_FEATURE_tabletevent AND EXISTS "${QtBase_SOURCE_DIR}\/src\/3rdparty\/wintab"/' \
    "$plugin"/CMakeLists.txt
fi

# Gui builds the DirectWrite 3 font database only with Direct2D, which is off; the plugin must
# then use the plain DirectWrite one.
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
  "$plugin"/qwindowsintegration.cpp

# The toolchain file is copied: Qt's installed CMake files point back at the one it was built with.
cp "$root/cmake/mingw-w64.cmake" "$work/mingw-w64.cmake"
step "configure"
cmake -S "qt6-base-$hostver+dfsg" -B build -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$work/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_printsupport=OFF \
  -DFEATURE_openssl=OFF -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF \
  -DFEATURE_direct2d=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_system_zlib=OFF \
  -DFEATURE_sql_odbc=OFF -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_oci=OFF \
  -DFEATURE_sql_db2=OFF -DFEATURE_sql_ibase=OFF -DFEATURE_sql_sqlite=ON \
  -DFEATURE_system_sqlite=ON -DSQLite3_INCLUDE_DIR="$prefix/include" \
  -DSQLite3_LIBRARY="$prefix/lib/libsqlite3.dll.a"
step "build ($jobs jobs)"
cmake --build build -j "$jobs"
step "install"
cmake --install build >/dev/null
touch "$stamp"
step "done: $prefix"
