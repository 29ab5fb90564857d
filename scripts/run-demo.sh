#!/usr/bin/env bash
# Builds the console host and the module (nothing else) and starts them on the embedded demo
# database (created and seeded on first run, kept afterwards). Extra arguments go to the host;
# without a display, pass --screenshot FILE to render the window into a picture.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${KVZ_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target kvzconsole
data="${XDG_DATA_HOME:-$HOME/.local/share}/kvzconsole"
mkdir -p "$data"
exec "$build/bin/kvzconsole" --sqlite "$data/demo.db" --demo "$@"
