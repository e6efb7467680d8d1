#!/usr/bin/env bash
# The Windows core: installs the MinGW-w64 toolchain and Wine, builds the Windows libraries
# (scripts/windows-deps.sh), cross-builds every Qt-free module's unit test program into
# build-win/ and runs them under Wine with ctest, inside a private network namespace. The
# Wine server of the run is private to that namespace (its sockets are made there), on a
# private /tmp, and ended with it.
# Usage: scripts/windows.sh [ctest args...]     Environment: JOBS (default: number of cores)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}
dir=$root/build-win

JOBS=$jobs "$root/scripts/windows-deps.sh"
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
# Only the test programs (and what their cases start): the tools are not needed for them.
cmake --build "$dir" -j "$jobs" --target unit_tests zent_standin_devicemgr

# Each case has its CTest time-out (cmake/ZentModule.cmake); the run itself is bounded too.
"$root/scripts/netns.sh" run bash -c '
  mount -t tmpfs -o mode=1777 tmpfs /tmp
  # The first program of a fresh wineserver also starts Wine'"'"'s own background processes,
  # which would inherit ctest'"'"'s output pipes and hold its case listing open: one program
  # with no output starts them before ctest does.
  timeout 180 "$2" cmd /c exit </dev/null >/dev/null 2>&1 || true
  # Wine'"'"'s desktop process ends a moment after the last program attached to the desktop;
  # the next program that needs it would start a new one holding that case'"'"'s output open
  # for a minute. The keeper holds the desktop until the wineserver is ended below.
  "$2" "$0/tests/wine-desktop-keeper.exe" </dev/null >/dev/null 2>&1 &
  rc=0
  timeout 900 ctest --test-dir "$0" --output-on-failure -j "$1" "${@:3}" || rc=$?
  # A case whose program never ran (a Wine start failure, nothing printed) gets one more
  # run; any case whose program ran and failed keeps the stage failed.
  if [ "$rc" -ne 0 ] && starts=$(python3 "$(dirname "$2")/wine-start-failures.py" "$0"); then
    echo "Run once more after Wine did not start their program:"
    echo "$starts" | sed "s/^/  /"
    rc=0
    timeout 300 ctest --test-dir "$0" --output-on-failure --rerun-failed || rc=$?
  fi
  WINEPREFIX="$0/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  exit $rc' "$dir" "$jobs" "$root/scripts/wine-run.sh" "$@"
