#!/usr/bin/env bash
# Builds the console and the stand-ins (nothing else) and starts the console host on a fresh
# demo database together with the server side (kvzserver) and live client agents (kvzagent) on
# 127.0.x.y addresses, all on the host's default ports. The agents announce themselves at start and go offline when the
# console closes. Extra arguments go to the host.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${KVZ_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
# Only what the demo starts.
cmake --build "$build" -j "$(nproc)" --target kvzconsole kvzserver kvzagent kvzdb
bin="$build/bin"
data="${XDG_DATA_HOME:-$HOME/.local/share}/kvzconsole"
mkdir -p "$data"
db="$data/live-demo.db"
rm -f "$db" "$db-wal" "$db-shm"
"$bin/kvzdb" --sqlite "$db" seed >/dev/null

server_port=2228
client_port=2230
"$bin/kvzserver" --sqlite "$db" --server-port "$server_port" >"$data/kvzserver.out" 2>&1 &
server=$!
agent=""
stop() {
  [ -n "$agent" ] && kill "$agent" 2>/dev/null && wait "$agent" 2>/dev/null
  kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  return 0
}
trap stop EXIT

# Waits until a stand-in has printed "ready" into its output file.
wait_ready() {
  for _ in $(seq 100); do
    grep -qx ready "$1" && return 0
    sleep 0.1
  done
  echo "run-live-demo: $(basename "$1" .out) did not start:" >&2
  cat "$1" >&2
  exit 1
}
wait_ready "$data/kvzserver.out"

# Demo users 1..7 (addresses as the demo seed gives them), each agent behaving differently.
"$bin/kvzagent" --server "127.0.0.1:$server_port" --log "$data/kvzagent.log" --announce \
  --agent "127.0.0.1:$client_port,uid=1" \
  --agent "127.0.1.11:$client_port,uid=2" \
  --agent "127.0.1.12:$client_port,uid=3,mode=lower" \
  --agent "127.0.1.13:$client_port,uid=4,mode=stall" \
  --agent "127.0.1.14:$client_port,uid=5,mode=slow" \
  --agent "127.0.1.15:$client_port,uid=6,mode=refuse" \
  --agent "127.0.1.16:$client_port,uid=7,mode=garbage" \
  >"$data/kvzagent.out" 2>&1 &
agent=$!
wait_ready "$data/kvzagent.out"
echo "kvzserver and 7 agents running; requests logged in $data/kvzagent.log"

"$bin/kvzconsole" --sqlite "$db" --demo --server-port "$server_port" --client-port "$client_port" "$@"
