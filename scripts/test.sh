#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test inside a private network namespace:
#   1. the ordinary build: unit tests (and later end-to-end tests) with CTest, then the fault
#      runs of the program (tests/faults/run_faults.py);
#   2. an AddressSanitizer + UndefinedBehaviorSanitizer build of the unit tests;
#   3. a ThreadSanitizer build of the unit tests;
#   4. a short run of every fuzz target over its seed corpus (regressions of past findings);
#   5. the Debian package: built, checked by lintian, installed, upgraded, its kiosk session,
#      removed and purged (tests/package/run_package_tests.sh; changes this machine's /opt,
#      /etc and /var/log and cleans up after itself).
# Usage: scripts/test.sh            Environment: JOBS (default: number of cores)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}

"$root/scripts/install-deps.sh"

build() {  # build DIR [cmake args...]
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

run_ctest() {  # run_ctest DIR [ctest args...]
  local dir=$1
  shift
  "$root/scripts/netns.sh" run ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@"
}

echo "== Build and unit tests"
build "$root/build"
run_ctest "$root/build"

echo "== Fault runs (server restarts, simultaneous starts, log folder faults, renderer, SIGTERM)"
"$root/scripts/netns.sh" run python3 "$root/tests/faults/run_faults.py" --build "$root/build"

echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
build "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DZENT_SANITIZE=address,undefined \
  -DZENT_BUILD_BENCH=OFF -DZENT_BUILD_GUI=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest "$root/build-asan"

echo "== Unit tests under ThreadSanitizer"
build "$root/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DZENT_SANITIZE=thread \
  -DZENT_BUILD_BENCH=OFF -DZENT_BUILD_GUI=OFF
TSAN_OPTIONS="halt_on_error=1 suppressions=$root/tests/tsan.supp" run_ctest "$root/build-tsan"

echo "== Fuzz targets over their seed corpora"
CXX=clang++ build "$root/build-fuzz" -DCMAKE_BUILD_TYPE=Debug -DZENT_BUILD_FUZZ=ON \
  -DZENT_SANITIZE=address,undefined -DZENT_BUILD_TESTS=OFF -DZENT_BUILD_BENCH=OFF -DZENT_BUILD_GUI=OFF
"$root/scripts/fuzz.sh" "$root/build-fuzz" 20

echo "== Debian package: build, lintian, install, upgrade, kiosk session, remove, purge"
"$root/tests/package/run_package_tests.sh" "$root/build"

echo "== All tests passed"
