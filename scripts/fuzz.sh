#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS seconds, starting from its seed corpus
# fuzz/corpus/<target>/ (committed; findings are added there as regression inputs).
# New inputs go to a scratch corpus, so the committed one only grows by hand.
# JOBS targets (default: the number of cores) run side by side; each is one process, so each
# still gets its SECONDS of a core.
# Usage: scripts/fuzz.sh BUILD_DIR [SECONDS]          Environment: JOBS
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:?usage: fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
jobs=${JOBS:-$(nproc)}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

run_one() {  # run_one BINARY: fuzzes one target, its summary lines in $scratch/<name>.out
  local bin=$1 name
  name=$(basename "$bin")
  local seeds="$root/fuzz/corpus/$name"
  mkdir -p "$scratch/$name"
  local args=("$scratch/$name")
  [ -d "$seeds" ] && args+=("$seeds")
  {
    echo "-- $name for ${seconds}s"
    "$bin" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/$name-" \
      "${args[@]}" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' || true
  } >"$scratch/$name.out"
}

shopt -s nullglob
bins=("$build"/fuzz/*_fuzz)
running=0
for bin in "${bins[@]}"; do
  if ((running >= jobs)); then
    wait -n
    running=$((running - 1))
  fi
  run_one "$bin" &
  running=$((running + 1))
done
wait

failed=0
for bin in "${bins[@]}"; do
  name=$(basename "$bin")
  cat "$scratch/$name.out"
  findings=("$scratch/$name"-crash-* "$scratch/$name"-leak-* "$scratch/$name"-timeout-* "$scratch/$name"-oom-*)
  if ((${#findings[@]})); then
    echo "$name found a failing input:" >&2
    for f in "${findings[@]}"; do echo "  $f" >&2; od -c "$f" | head -20 >&2; done
    failed=1
  fi
done
exit "$failed"
