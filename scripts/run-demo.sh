#!/usr/bin/env bash
# Builds the project and starts the console host with the module on the embedded demo
# database (created and seeded on first run, kept afterwards). Extra arguments go to the host.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh" "$root/build"
data="${XDG_DATA_HOME:-$HOME/.local/share}/kvzconsole"
mkdir -p "$data"
exec "$root/build/bin/kvzconsole" --sqlite "$data/demo.db" "$@"
