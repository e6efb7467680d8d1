#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS seconds, starting from its seed corpus
# fuzz/corpus/<target>/ (committed; findings are added there as regression inputs).
# New inputs go to a scratch corpus, so the committed one only grows by hand.
# Usage: scripts/fuzz.sh BUILD_DIR [SECONDS]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:?usage: fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

shopt -s nullglob
for bin in "$build"/fuzz/*_fuzz; do
  name=$(basename "$bin")
  seeds="$root/fuzz/corpus/$name"
  mkdir -p "$scratch/$name"
  args=("$scratch/$name")
  [ -d "$seeds" ] && args+=("$seeds")
  echo "-- $name for ${seconds}s"
  "$bin" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/$name-" \
    "${args[@]}" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' || true
  findings=("$scratch/$name"-crash-* "$scratch/$name"-leak-* "$scratch/$name"-timeout-* "$scratch/$name"-oom-*)
  if ((${#findings[@]})); then
    echo "$name found a failing input:" >&2
    for f in "${findings[@]}"; do echo "  $f" >&2; od -c "$f" | head -20 >&2; done
    exit 1
  fi
done
