#!/usr/bin/env bash
# Installs every Debian package the build, the run, the tests and the benchmarks need.
# Idempotent: does nothing (and says nothing) when all of them are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config clang-format clang libclang-rt-dev
  libsqlite3-dev libpq-dev
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libqt6network6 qt6-translations-l10n libgl-dev
  qt6-tools-dev qt6-l10n-tools
  libgtest-dev libgmock-dev googletest libbenchmark-dev libssl-dev
  postgresql postgresql-contrib
  fonts-noto-cjk
  dbus-daemon
  g++-mingw-w64-x86-64-posix wine64
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
