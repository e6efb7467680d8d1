#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; skips what is present.
# Usage: scripts/install-deps.sh            (everything)
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config ccache
  libpcre2-dev nlohmann-json3-dev libcpp-httplib-dev libssl-dev
  # the installer's payload checksum (CRC-32); the update packages' signatures (Ed25519)
  zlib1g-dev libsodium-dev
  # the browser window: Qt 6 Widgets and WebEngine
  qt6-base-dev qt6-webengine-dev
  # the floating button's input-only window and the Alt+F12 grab talk to the X server
  libxcb1-dev
  # tests, sanitizers, fuzzing, benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # the private network namespace the tests run in
  iproute2 util-linux
  # stand-in server and test tools; end-to-end tests, demo and start-up benchmark
  python3 xvfb openbox x11-utils xdotool imagemagick fonts-wqy-zenhei
  # the cursor image the hidden-pointer tests read (XFixes, through ctypes)
  libx11-6 libxfixes3
  # two monitors for the secondary-screen tests: Xorg's dummy driver with two heads, xrandr
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  # the Debian package: CPack's DEB generator with dpkg-shlibdeps, its check, and what the
  # package depends on beyond the build's libraries (so its install test needs no download)
  dpkg-dev file lintian adduser xdg-utils sudo
  # the player the shipped "Player/mpc-be.exe" runs; ffmpeg makes the tests' short video
  mpv ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
