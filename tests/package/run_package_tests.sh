#!/usr/bin/env bash
# The Debian package from build to purge, on this machine:
#   1. build it (target "package"), check it with lintian (no errors allowed) and its sudo rule
#      with visudo;
#   2. install the previous release's layout (this payload with the maintainer scripts of the
#      release whose program folder the group lumo7 could write, tests/package/previous/), run
#      the installed program as a non-root member of lumo7 (tests/package/test_package.py,
#      inside the namespace);
#   3. a member plants links to victim files at every path it may write, then upgrade:
#      configuration, device identifier and logs kept, the tree root's, no victim touched; the
#      new program shows the stand-in's page, writes nothing into the machine hive, updates
#      itself through the root helper; the kiosk session under Xvfb;
#   4. links planted again before reinstall, remove (only the kept data stays), purge (nothing
#      of the package stays), and a fresh install and purge: no victim touched by any of them.
# A previous run's install is purged first; the test user, the state folder, the victims and a
# group the run created are removed at the end, whatever the outcome.
# Usage: tests/package/run_package_tests.sh BUILD_DIR        (as root or with sudo)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
if [ "$(id -u)" -ne 0 ]; then
  exec sudo -E "$0" "$@"
fi

pkg=lumo7browser
user=lumo7-pkgtest
export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d /tmp/zent-pkgtest.XXXXXX)
chmod 0755 "$work"  # the test user reaches its state folder through it
group_existed=0
getent group lumo7 >/dev/null && group_existed=1

step() { echo "== package: $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
installed_version() { dpkg-query -W -f='${Status} ${Version}' "$pkg" 2>/dev/null || true; }

purge_package() {
  if dpkg-query -W "$pkg" >/dev/null 2>&1; then
    timeout 300 apt-get purge -y -qq "$pkg" >/dev/null
  fi
}

cleanup() {
  set +e
  purge_package
  rm -rf /etc/lumo7-pkgtest-victim /etc/lumo7-pkgtest-victim-new /srv/lumo7-pkgtest-victim
  getent passwd "$user" >/dev/null && userdel "$user"
  [ "$group_existed" = 1 ] || { getent group lumo7 >/dev/null && groupdel lumo7; }
  rm -rf "$work"
}
trap cleanup EXIT

run_tests() {  # run_tests TEST_NAME... : the Python phases, as root inside the namespace
  (cd "$root/tests/package" &&
    ZENT_PKGTEST_USER=$user ZENT_PKGTEST_STATE=$work/state ZENT_SOURCE_DIR=$root \
      ZENT_BUILD_DIR=$build \
      timeout 900 "$root/scripts/netns.sh" run python3 -m unittest -v "$@")
}

# A member of lumo7 plants links at every path it may write; after the maintenance that
# follows, no victim outside the package may have changed.
plant() { python3 "$root/tests/package/attack.py" plant "$user" "$work/state"; }
check_victims() { python3 "$root/tests/package/attack.py" check "$work/state" || fail "$1 followed a member's link"; }

expect_stat() {  # expect_stat "OWNER:GROUP MODE" PATH...
  local want=$1 p
  shift
  for p in "$@"; do
    [ "$(stat -c '%U:%G %a' "$p")" = "$want" ] || fail "$p is $(stat -c '%U:%G %a' "$p"), not $want"
  done
}

# The installed package: everything it installs is root's and closed to group and others; only
# the data folders are the group's.
check_tree() {
  local bad
  bad=$(find /opt/lumo7browser /etc/lumo7browser /etc/xdg/zent /usr/libexec/lumo7browser \
          /etc/sudoers.d/lumo7browser /var/lib/lumo7browser /run/lumo7browser \
          \( -path /var/lib/lumo7browser/Temp -o -path /run/lumo7browser/locks \) -prune -o \
          \( ! -type l -perm /022 -o ! -user root \) -print)
  [ -z "$bad" ] || fail "writable for others or not root's after $1: $(ls -ld $bad)"
  expect_stat "root:root 755" /opt/lumo7browser /opt/lumo7browser/bin /var/lib/lumo7browser \
    /run/lumo7browser /etc/xdg/zent/registry /etc/lumo7browser/update-keys
  expect_stat "root:lumo7 2775" /var/lib/lumo7browser/Temp /var/log/lumo7browser
  expect_stat "root:lumo7 2770" /run/lumo7browser/locks
  expect_stat "root:root 440" /etc/sudoers.d/lumo7browser
  expect_stat "root:root 644" /etc/xdg/zent/registry/system.reg
  [ "$(readlink /opt/lumo7browser/Temp)" = /var/lib/lumo7browser/Temp ] || fail "Temp is no link to /var/lib"
  grep -q '^"InstallLocation"="/opt/lumo7browser/bin/"' /etc/xdg/zent/registry/system.reg ||
    fail "the machine hive does not record the install location: $(cat /etc/xdg/zent/registry/system.reg)"
  visudo -cf /etc/sudoers.d/lumo7browser >/dev/null || fail "visudo refuses /etc/sudoers.d/lumo7browser"
}

step "known state: no earlier install"
purge_package
getent passwd "$user" >/dev/null && userdel "$user"
[ ! -e /opt/lumo7browser ] || fail "/opt/lumo7browser exists without the package"

step "build"
rm -f "$build"/${pkg}_*.deb
timeout 1800 nice cmake --build "$build" --target package >"$work/package.log" 2>&1 ||
  { tail -n 50 "$work/package.log"; fail "the package target failed"; }
debs=("$build"/${pkg}_*_amd64.deb)
[ -f "${debs[0]}" ] || fail "no package in $build"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
echo "built $(basename "$deb")"

step "lintian"
# Errors fail the run; docs/packaging.md explains every tag that stays.
lintian_out=$(timeout 600 lintian --fail-on error --display-info --show-overrides "$deb" 2>&1 | grep -v '^running with root' || true)
echo "$lintian_out"
if grep -q '^E:' <<<"$lintian_out"; then
  fail "lintian reports errors"
fi
echo "lintian: $(grep -c '^E:' <<<"$lintian_out" || true) errors, $(grep -c '^W:' <<<"$lintian_out" || true) warnings, $(grep -c '^I:' <<<"$lintian_out" || true) notes, $(grep -c '^O:' <<<"$lintian_out" || true) overridden"

step "the sudo rule"
dpkg-deb -x "$deb" "$work/payload"
visudo -cf "$work/payload/etc/sudoers.d/lumo7browser" || fail "visudo refuses the package's sudo rule"
expect_stat "root:root 440" "$work/payload/etc/sudoers.d/lumo7browser"
if [ ! -e "$work/payload/usr/libexec/lumo7browser/lumo7-apply-update" ]; then
  echo "NOTE: this build has no lumo7-apply-update; the self-update tests are skipped"
fi

step "a package of the previous release"
# This program under a lower version number with the maintainer scripts of the release that
# let the group lumo7 write the program folder and the machine hive: the upgrade must take
# that away without following anything a member planted. That release had no Temp link.
old_version="${version}~pkgtest"
dpkg-deb -R "$deb" "$work/old"
rm -f "$work/old/opt/lumo7browser/Temp"
for script in preinst postinst prerm postrm; do
  install -m 0755 "$root/tests/package/previous/$script" "$work/old/DEBIAN/$script"
done
sed -i "s/^Version: .*/Version: $old_version/" "$work/old/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/old" "$work/${pkg}_${old_version}_amd64.deb" >/dev/null
dpkg --compare-versions "$old_version" lt "$version" || fail "$old_version is not lower than $version"

step "install $old_version"
timeout 600 apt-get install -y -qq "$work/${pkg}_${old_version}_amd64.deb" >/dev/null
getent group lumo7 >/dev/null || fail "the group lumo7 was not made"
for d in /opt/lumo7browser/bin /opt/lumo7browser/Temp /var/log/lumo7browser /etc/xdg/zent/registry; do
  [ "$(stat -c %G "$d")" = lumo7 ] && [ -n "$(find "$d" -maxdepth 0 -perm -g+w)" ] ||
    fail "the previous release's layout: $d is not writable for the group lumo7"
done
useradd --system --no-create-home --shell /usr/sbin/nologin --groups lumo7 "$user"
install -d -o "$user" -g "$user" -m 0755 "$work/state"
run_tests test_package.BeforeUpgrade

step "a member plants links in the previous release's writable folders"
plant

step "upgrade to $version"
timeout 600 apt-get install -y -qq "$deb" >/dev/null
[ "$(installed_version)" = "install ok installed $version" ] || fail "not upgraded: $(installed_version)"
check_victims "the upgrade"
check_tree "the upgrade"
run_tests test_package.AfterUpgrade test_package.MachineWideLocks test_package.KioskSession \
  test_package.SelfUpdate

step "reinstall with links planted"
plant
timeout 600 apt-get install -y -qq --reinstall "$deb" >/dev/null
check_victims "the reinstall"
check_tree "the reinstall"

step "remove with links planted"
logs_before=$(find /var/log/lumo7browser -name '*.log' | sort)
[ -n "$logs_before" ] || fail "no logs in /var/log/lumo7browser before removal"
plant
timeout 300 apt-get remove -y -qq "$pkg" >/dev/null
check_victims "remove"
[ ! -e /var/lib/lumo7browser ] || fail "/var/lib/lumo7browser stays after remove"
[ ! -e /run/lumo7browser ] || fail "/run/lumo7browser stays after remove"
[ ! -e /opt/lumo7browser ] || fail "/opt/lumo7browser stays after remove: $(find /opt/lumo7browser | head)"
[ "$(find /var/log/lumo7browser -name '*.log' | sort)" = "$logs_before" ] || fail "the logs changed on remove"
[ -f /etc/lumo7browser/Lumo7Browser.cnfg ] || fail "the run options went with remove"
[ -f /etc/default/lumo7browser ] || fail "the session settings went with remove"
getent group lumo7 >/dev/null || fail "the group went with remove"
[ -f "$work/state/config/ZentLumo7/Lumo7BrowserCfg.ini" ] || fail "the user's configuration went"
[ ! -e /usr/share/xsessions/lumo7-kiosk.desktop ] || fail "the session entry stays after remove"

step "purge"
# The machine hive holds the program's install location beside other keys, which purge keeps.
hive=/etc/xdg/zent/registry/system.reg
seeded_hive=0
if [ ! -e "$hive" ]; then
  seeded_hive=1
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZENT\\Other]\r\n"Keep"="1"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{DD89D3FF-2163-49BD-822F-FD0AF2D7E6AE}_is1]\r\n"InstallLocation"="/opt/lumo7browser/bin/"\r\n"NoModify"=dword:00000001\r\n' >"$hive"
fi
plant
timeout 300 apt-get purge -y -qq "$pkg" >/dev/null
check_victims "purge"
[ -z "$(installed_version)" ] || [[ "$(installed_version)" == *not-installed* ]] ||
  fail "still known to dpkg: $(installed_version)"
[ ! -e /opt/lumo7browser ] || fail "something stays under /opt/lumo7browser after purge"
[ ! -e /var/log/lumo7browser ] || fail "the logs stay after purge"
[ ! -e /etc/lumo7browser ] || fail "/etc/lumo7browser stays after purge"
[ ! -e /etc/default/lumo7browser ] || fail "/etc/default/lumo7browser stays after purge"
if [ "$seeded_hive" = 1 ]; then
  grep -q 'SOFTWARE\\ZENT\\Other' "$hive" || fail "purge lost another key of the machine hive"
  ! grep -qi 'DD89D3FF' "$hive" || fail "purge left the install location in the machine hive"
  rm -f "$hive" "$hive.lock"
  rmdir /etc/xdg/zent/registry /etc/xdg/zent 2>/dev/null || true
fi

step "fresh install and purge with links planted"
timeout 600 apt-get install -y -qq "$deb" >/dev/null
check_tree "a fresh install"
plant
timeout 300 apt-get purge -y -qq "$pkg" >/dev/null
check_victims "purge after a fresh install"
for p in /opt/lumo7browser /var/lib/lumo7browser /var/log/lumo7browser /run/lumo7browser \
         /etc/lumo7browser /etc/sudoers.d/lumo7browser /etc/xdg/zent/registry; do
  [ ! -e "$p" ] || fail "$p stays after purge"
done

step "all package tests passed"
