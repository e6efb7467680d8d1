#!/bin/sh
# Regenerates version_fixture.exe, a tiny 32-bit Windows program whose only content is a
# version resource (Chinese text in FileDescription, the extra key "BuildChannel"), from
# version_fixture.rc and version_fixture.c with Debian's mingw-w64 tools.
# The binary is committed; the tests do not rebuild it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

i686-w64-mingw32-windres -c 65001 -O coff -i "$here/version_fixture.rc" -o "$work/res.o"
i686-w64-mingw32-gcc -Os -nostdlib -s -Wl,-e,_start -Wl,--no-insert-timestamp \
  -o "$work/version_fixture.exe" "$here/version_fixture.c" "$work/res.o" -lkernel32
cp "$work/version_fixture.exe" "$here/version_fixture.exe"
echo "written $here/version_fixture.exe"
