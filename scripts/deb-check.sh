#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks its dependencies and files, installs it
# and starts the installed console to render its window in both languages.
# Usage: scripts/deb-check.sh BUILD-DIR [--dpkg]
#   without --dpkg the package is unpacked into a scratch root (no root rights needed);
#   with --dpkg it is installed on this system with dpkg -i and removed again (CI, as root).
set -euo pipefail
build="$(cd "$1" && pwd)"
mode="${2:-}"
scratch="$(mktemp -d)"
cleanup() {
  [ "$mode" = --dpkg ] && dpkg -r kvzconsole >/dev/null 2>&1
  rm -rf "$scratch"
  return 0
}
trap cleanup EXIT
fail() { echo "deb-check: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb="$(ls "$scratch"/pkg/kvzconsole_*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
for needed in libqt6widgets6 libqt6sql6-sqlite libqt6sql6-psql libpq5; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

if [ "$mode" = --dpkg ]; then
  dpkg -i "$deb" >/dev/null
  root=""
else
  dpkg-deb -x "$deb" "$scratch/root"
  root="$scratch/root"
fi
for file in usr/share/applications/kvzconsole.desktop \
  usr/share/icons/hicolor/scalable/apps/kvzconsole.svg; do
  [ -f "$root/$file" ] || fail "$file is not installed"
done
for command in kvzconsole kvzdb kvzoffline kvzagent kvzserver; do
  [ -x "$root/usr/bin/$command" ] || fail "usr/bin/$command is not installed"
done
# The programs find their libraries in the installed tree, not in the build folder.
if ldd "$root/usr/bin/kvzconsole" | grep -q "$build"; then
  fail "kvzconsole uses libraries of the build folder"
fi

export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch"
for lang in chs eng; do
  shot="$scratch/shot-$lang.png"
  "$root/usr/bin/kvzconsole" --sqlite "$scratch/site.db" --demo --lang "$lang" \
    --screenshot "$shot" || fail "the installed console failed ($lang)"
  [ -s "$shot" ] || fail "no screenshot ($lang)"
done
"$root/usr/bin/kvzdb" --sqlite "$scratch/tool.db" create >/dev/null || fail "kvzdb failed"
echo "deb-check: $(basename "$deb") installs and starts"
