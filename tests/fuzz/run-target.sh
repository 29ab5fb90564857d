#!/usr/bin/env bash
# Runs one fuzz target for KVZ_FUZZ_SECONDS (default 10) on its working corpus, a copy of the
# tree's seeds that keeps what earlier runs found, so the seeds in the tree stay as they are.
# An input that breaks the target is saved under WORK/findings and the run fails.
# Usage: run-target.sh BINARY SEEDS WORK
set -euo pipefail
binary="$1"
seeds="$2"
work="$3"
mkdir -p "$work/corpus" "$work/findings"
cp -r "$seeds/." "$work/corpus/"
exec "$binary" -max_total_time="${KVZ_FUZZ_SECONDS:-10}" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/findings/" "$work/corpus"
