#!/usr/bin/env bash
# The Windows build's libraries, made from Debian's own source packages: Debian ships no
# MinGW-w64 build of PCRE2 or libsodium, and its cpp-httplib package splits the header into a
# Linux library. Each source package is pinned to its Debian 12 version; apt checks the .dsc
# against the signed archive, and this script compares the upstream tarball with the sha256
# noted below before building. zlib comes built from libz-mingw-w64-dev.
# Installs what is missing (toolchain, Wine, locales, dpkg-dev, googletest; apt-get only), adds
# a deb-src entry for Debian's mirror if there is none, and builds static libraries with
# pkg-config files into DEPS_DIR (default build-win/deps). A library already built at its
# pinned version is skipped.
# Usage: scripts/windows-deps.sh            Environment: DEPS_DIR, JOBS
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps=${DEPS_DIR:-$root/build-win/deps}
jobs=${JOBS:-$(nproc)}
host=x86_64-w64-mingw32

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# Source package, pinned version, upstream tarball and its sha256.
pcre2_version=10.42-1
pcre2_orig=pcre2_10.42.orig.tar.gz
pcre2_sha256=c33b418e3b936ee3153de2c61cc638e7e4fe3156022a5c77d0711bcbb9d64f1f
sodium_version=1.0.18-1+deb12u1
sodium_orig=libsodium_1.0.18.orig.tar.gz
sodium_sha256=d59323c6b712a1519a5daf710b68f5e7fde57040845ffec53850911f10a5d4f4
httplib_version=0.11.4+ds-1+deb12u1
httplib_orig=cpp-httplib_0.11.4+ds.orig.tar.xz
httplib_sha256=8b1a5df569003b6a4f24c68489bbda5c64aec94697bdc9ebba5d79408b2ae7eb

# Packages -----------------------------------------------------------------------------------
packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev wine64
          locales dpkg-dev googletest nlohmann-json3-dev make cmake ninja-build pkg-config xz-utils
          # libsodium's Debian source is a repository snapshot: its configure is generated
          autoconf automake libtool)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
updated=
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  updated=1
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Source packages come from Debian's mirror: the entry is added next to the binary one.
have_source_entry() {
  grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}
if ! have_source_entry; then
  echo "Adding a deb-src entry for Debian 12 (/etc/apt/sources.list.d/zent-deb-src.sources)"
  "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/zent-deb-src.sources >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  updated=
fi

# Sources ------------------------------------------------------------------------------------
mkdir -p "$deps"/src "$deps"/include "$deps"/lib/pkgconfig
fetch() {  # fetch PACKAGE VERSION ORIG SHA256: unpacked source in $deps/src/PACKAGE-VERSION
  local package=$1 version=$2 orig=$3 sha=$4 dir=$deps/src/$1-$2
  [ -f "$dir/.unpacked" ] && return 0
  rm -rf "$dir" "$deps/src/fetch-$package"
  mkdir -p "$deps/src/fetch-$package"
  local try
  for try in 1 2; do
    if (cd "$deps/src/fetch-$package" && apt-get source -qq --download-only "$package=$version" >/dev/null 2>&1); then
      break
    fi
    if ((try == 2)); then
      echo "apt-get source $package=$version failed: is Debian's mirror reachable?" >&2
      return 1
    fi
    [ -n "$updated" ] || { "${sudo_cmd[@]}" apt-get update -qq; updated=1; }
  done
  (cd "$deps/src/fetch-$package" && echo "$sha  $orig" | sha256sum -c --quiet -) || {
    echo "$orig does not have the pinned sha256 $sha" >&2
    return 1
  }
  (cd "$deps/src/fetch-$package" && dpkg-source -q -x ./*.dsc "$dir" >"$deps/src/fetch-$package.log" 2>&1)
  touch "$dir/.unpacked"
}

fetch pcre2 "$pcre2_version" "$pcre2_orig" "$pcre2_sha256"
fetch libsodium "$sodium_version" "$sodium_orig" "$sodium_sha256"
fetch cpp-httplib "$httplib_version" "$httplib_orig" "$httplib_sha256"

# Builds -------------------------------------------------------------------------------------
built() { [ "$(cat "$deps/.built-$1" 2>/dev/null)" = "$2" ]; }
mark() { echo "$2" >"$deps/.built-$1"; }

if ! built pcre2 "$pcre2_version"; then
  echo "Building PCRE2 $pcre2_version for Windows"
  b=$deps/src/pcre2-build
  rm -rf "$b"
  cmake -S "$deps/src/pcre2-$pcre2_version" -B "$b" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DZENT_WIN_DEPS="$deps" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$b/install" \
    -DBUILD_SHARED_LIBS=OFF -DPCRE2_BUILD_PCRE2_8=ON -DPCRE2_BUILD_PCRE2_16=OFF \
    -DPCRE2_BUILD_PCRE2_32=OFF -DPCRE2_SUPPORT_JIT=ON -DPCRE2_SUPPORT_UNICODE=ON \
    -DPCRE2_BUILD_PCRE2GREP=OFF -DPCRE2_BUILD_TESTS=OFF -DPCRE2_SUPPORT_LIBBZ2=OFF \
    -DPCRE2_SUPPORT_LIBZ=OFF -DPCRE2_SUPPORT_LIBEDIT=OFF -DPCRE2_SUPPORT_LIBREADLINE=OFF >/dev/null
  cmake --build "$b" -j "$jobs" >/dev/null
  cmake --install "$b" >/dev/null
  cp "$b"/install/include/pcre2.h "$deps/include/"
  cp "$b"/install/lib/libpcre2-8.a "$deps/lib/"
  # Static library: its users define PCRE2_STATIC (no dllimport).
  cat >"$deps/lib/pkgconfig/libpcre2-8.pc" <<EOF
prefix=$deps
Name: libpcre2-8
Description: PCRE2 $pcre2_version (Debian source), static, for Windows
Version: ${pcre2_version%-*}
Cflags: -I\${prefix}/include -DPCRE2_STATIC
Libs: -L\${prefix}/lib -lpcre2-8
EOF
  mark pcre2 "$pcre2_version"
fi

if ! built libsodium "$sodium_version"; then
  echo "Building libsodium $sodium_version for Windows"
  b=$deps/src/libsodium-build
  rm -rf "$b"
  mkdir -p "$b"
  src=$deps/src/libsodium-$sodium_version
  [ -x "$src/configure" ] || (cd "$src" && autoreconf -fi >/dev/null 2>&1)
  (cd "$b" && "$src/configure" -q --host=$host --prefix="$b/install" \
     --disable-shared --enable-static --disable-dependency-tracking \
     CC=$host-gcc-posix CFLAGS="-O2" >/dev/null && make -s -j "$jobs" >/dev/null 2>&1 && make -s install >/dev/null)
  cp -r "$b"/install/include/sodium "$b"/install/include/sodium.h "$deps/include/"
  cp "$b"/install/lib/libsodium.a "$deps/lib/"
  cat >"$deps/lib/pkgconfig/libsodium.pc" <<EOF
prefix=$deps
Name: libsodium
Description: libsodium $sodium_version (Debian source), static, for Windows
Version: ${sodium_version%%-*}
Cflags: -I\${prefix}/include -DSODIUM_STATIC
Libs: -L\${prefix}/lib -lsodium -ladvapi32
EOF
  mark libsodium "$sodium_version"
fi

if ! built cpp-httplib "$httplib_version"; then
  # The source package's httplib.h is the whole library (Debian's binary package ships it split
  # into a header and a Linux shared library).
  cp "$deps/src/cpp-httplib-$httplib_version/httplib.h" "$deps/include/"
  cat >"$deps/lib/pkgconfig/cpp-httplib.pc" <<EOF
prefix=$deps
Name: cpp-httplib
Description: cpp-httplib $httplib_version (Debian source), whole header, for Windows
Version: ${httplib_version%%+*}
Cflags: -I\${prefix}/include
Libs: -lws2_32 -lcrypt32
EOF
  mark cpp-httplib "$httplib_version"
fi
# nlohmann-json is headers only and the same for every system: Debian's own copy.
rm -rf "$deps/include/nlohmann"
cp -r /usr/include/nlohmann "$deps/include/"
echo "Windows libraries ready in $deps"
