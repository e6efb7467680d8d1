#!/usr/bin/env bash
# Runs a Windows program under Wine for the Windows build's tests (CMake's
# CMAKE_CROSSCOMPILING_EMULATOR): usage scripts/wine-run.sh PROGRAM.exe [ARGS...]
# The Wine prefix and a generated zh_CN.UTF-8 locale live in WINE_DIR (default build-win/ of
# the checkout). With that locale Wine's ANSI code page is 936, as on the terminals, so
# Chinese file names work. The prefix is made once (quietly, bounded in time, under a lock so
# test programs started side by side wait for it), and a wineserver is kept running between
# programs, so each starts in a tenth of a second.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${WINE_DIR:-$root/build-win}
wine=${WINE:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

export WINEPREFIX=$dir/wineprefix
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko: nothing here is .NET or HTML, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export LOCPATH=$dir/locale
export LC_ALL=zh_CN.UTF-8
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$dir"
if [ ! -f "$WINEPREFIX/.zent-ready" ] || [ ! -d "$LOCPATH/zh_CN.UTF-8" ]; then
  exec 9>"$dir/.wine-setup.lock"
  flock 9
  if [ ! -d "$LOCPATH/zh_CN.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" >/dev/null 2>&1 || {
      echo "wine-run: cannot generate the zh_CN.UTF-8 locale (package locales)" >&2
      exit 1
    }
  fi
  if [ ! -f "$WINEPREFIX/.zent-ready" ]; then
    rm -rf "$WINEPREFIX"
    if ! timeout 180 "$wine" wineboot --init >"$dir/wineboot.log" 2>&1 ||
       ! timeout 60 "$wineserver" -w; then
      echo "wine-run: making the Wine prefix failed or took too long (see $dir/wineboot.log)" >&2
      exit 1
    fi
    touch "$WINEPREFIX/.zent-ready"
  fi
  exec 9>&-
fi

# A persistent wineserver: started once, shared by every program of the run, and gone a minute
# after the last one (WINE_PERSIST seconds; scripts/windows.sh ends it with its namespace).
# Its output and descriptors are detached so ctest does not wait for it.
"$wineserver" -p"${WINE_PERSIST:-60}" </dev/null >/dev/null 2>&1 9>&- || true
exec "$wine" "$@"
