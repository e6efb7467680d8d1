#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test inside a private network namespace:
#   1. the ordinary build: unit tests and end-to-end tests with CTest (the end-to-end files side
#      by side, each in a namespace and on a display of its own), then the fault runs of the
#      program (tests/faults/run_faults.py);
#   2. an AddressSanitizer + UndefinedBehaviorSanitizer build of the unit tests;
#   3. a ThreadSanitizer build of the unit tests;
#   4. a short run of every fuzz target over its seed corpus (regressions of past findings);
#   5. the Windows core: the Qt-free modules and their unit tests cross-built with MinGW-w64
#      and run under Wine (scripts/windows.sh, build-win/);
#   6. the Debian package: built, checked by lintian, installed, upgraded, its kiosk session,
#      removed and purged (tests/package/run_package_tests.sh; changes this machine's /opt,
#      /etc and /var/log and cleans up after itself).
# The sanitizer and fuzz builds build only the programs they run. At the end (also after a
# failure) a table gives each stage's wall-clock time and the CPU time of its processes.
# Usage: scripts/test.sh            Environment: JOBS (default: number of cores)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}

# Stage timing -------------------------------------------------------------------------------
stage_rows=()
times_file=$(mktemp)
trap 'summary; rm -f "$times_file"' EXIT

children_cpu() {  # cpu_now: CPU seconds (user + system) of every child this shell waited for
  times >"$times_file"  # in this shell: a subshell, $(...) included, has its own (zero) times
  cpu_now=$(awk 'NR == 2 { for (i = 1; i <= 2; ++i) { split($i, t, /[ms]/); s += t[1] * 60 + t[2] } print s }' "$times_file")
}

stage() {  # stage NAME CMD [ARGS...]: runs one stage and notes its times
  local name=$1
  shift
  echo "== $name"
  local start=$EPOCHREALTIME cpu_before rc=0
  children_cpu
  cpu_before=$cpu_now
  "$@" || rc=$?
  children_cpu
  stage_rows+=("$(awk -v n="$name" -v s="$start" -v e="$EPOCHREALTIME" -v c0="$cpu_before" -v c1="$cpu_now" \
    -v rc="$rc" 'BEGIN { printf "%-44s %7.0f s %7.0f s %s", n, e - s, c1 - c0, (rc ? "FAILED" : "") }')")
  return "$rc"
}

summary() {
  ((${#stage_rows[@]})) || return 0
  echo
  printf '%-44s %9s %9s\n' "Stage" "wall" "CPU"
  printf '%s\n' "${stage_rows[@]}"
  echo "(load average at the end: $(cut -d' ' -f1-3 /proc/loadavg))"
}

# Steps --------------------------------------------------------------------------------------
configure() {  # configure DIR [cmake args...]
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
}

build() {  # build DIR [target...]
  local dir=$1
  shift
  if (($#)); then
    cmake --build "$dir" -j "$jobs" --target "$@"
  else
    cmake --build "$dir" -j "$jobs"
  fi
}

run_ctest() {  # run_ctest DIR [ctest args...]
  local dir=$1
  shift
  "$root/scripts/netns.sh" run ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@"
}

asan_tests() {
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest "$root/build-asan"
}

tsan_tests() {
  TSAN_OPTIONS="halt_on_error=1 suppressions=$root/tests/tsan.supp" run_ctest "$root/build-tsan"
}

stage "Dependencies" "$root/scripts/install-deps.sh"

configure "$root/build"
stage "Build" build "$root/build"
stage "Unit and end-to-end tests" run_ctest "$root/build"
stage "Fault runs" "$root/scripts/netns.sh" run python3 "$root/tests/faults/run_faults.py" --build "$root/build"

configure "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DZENT_SANITIZE=address,undefined \
  -DZENT_BUILD_BENCH=OFF -DZENT_BUILD_GUI=OFF
stage "Build: unit tests, ASan+UBSan" build "$root/build-asan" unit_tests
stage "Unit tests under ASan+UBSan" asan_tests

configure "$root/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DZENT_SANITIZE=thread \
  -DZENT_BUILD_BENCH=OFF -DZENT_BUILD_GUI=OFF
stage "Build: unit tests, TSan" build "$root/build-tsan" unit_tests
stage "Unit tests under TSan" tsan_tests

CXX=clang++ configure "$root/build-fuzz" -DCMAKE_BUILD_TYPE=Debug -DZENT_BUILD_FUZZ=ON \
  -DZENT_SANITIZE=address,undefined -DZENT_BUILD_TESTS=OFF -DZENT_BUILD_BENCH=OFF -DZENT_BUILD_GUI=OFF
stage "Build: fuzz targets" build "$root/build-fuzz" fuzz_targets
stage "Fuzz targets over their seed corpora" env JOBS="$jobs" "$root/scripts/fuzz.sh" "$root/build-fuzz" 20

stage "Windows core under Wine" env JOBS="$jobs" "$root/scripts/windows.sh"

stage "Debian package: build, lintian, install, upgrade, kiosk, remove, purge" \
  "$root/tests/package/run_package_tests.sh" "$root/build"

echo "== All tests passed"
