#!/usr/bin/env bash
# The Debian package from build to purge, on this machine:
#   1. build it (target "package") and check it with lintian (no errors allowed);
#   2. install a package of a lower version with apt-get, run the installed program as a
#      non-root member of lumo7 (tests/package/test_package.py, inside the namespace);
#   3. upgrade to the built package: configuration, device identifier and logs kept, the new
#      program shows the stand-in's page; the kiosk session under Xvfb;
#   4. remove (only the kept data stays) and purge (nothing of the package stays).
# A previous run's install is purged first; the test user, the state folder and a group the
# run created are removed at the end, whatever the outcome.
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
  getent passwd "$user" >/dev/null && userdel "$user"
  [ "$group_existed" = 1 ] || { getent group lumo7 >/dev/null && groupdel lumo7; }
  rm -rf "$work"
}
trap cleanup EXIT

run_tests() {  # run_tests TEST_NAME... : the Python phases, as root inside the namespace
  (cd "$root/tests/package" &&
    ZENT_PKGTEST_USER=$user ZENT_PKGTEST_STATE=$work/state ZENT_SOURCE_DIR=$root \
      timeout 900 "$root/scripts/netns.sh" run python3 -m unittest -v "$@")
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

step "a package of a lower version"
# The same program under a lower version number: the upgrade path of dpkg and our scripts.
old_version="${version}~pkgtest"
dpkg-deb -R "$deb" "$work/old"
sed -i "s/^Version: .*/Version: $old_version/" "$work/old/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/old" "$work/${pkg}_${old_version}_amd64.deb" >/dev/null
dpkg --compare-versions "$old_version" lt "$version" || fail "$old_version is not lower than $version"

step "install $old_version"
timeout 600 apt-get install -y -qq "$work/${pkg}_${old_version}_amd64.deb" >/dev/null
getent group lumo7 >/dev/null || fail "the group lumo7 was not made"
for d in /opt/lumo7browser/bin /opt/lumo7browser/Temp /var/log/lumo7browser /etc/xdg/zent/registry; do
  [ "$(stat -c %G "$d")" = lumo7 ] && [ -n "$(find "$d" -maxdepth 0 -perm -g+w)" ] ||
    fail "$d is not writable for the group lumo7"
done
useradd --system --no-create-home --shell /usr/sbin/nologin --groups lumo7 "$user"
install -d -o "$user" -g "$user" -m 0755 "$work/state"
run_tests test_package.BeforeUpgrade

step "upgrade to $version"
timeout 600 apt-get install -y -qq "$deb" >/dev/null
[ "$(installed_version)" = "install ok installed $version" ] || fail "not upgraded: $(installed_version)"
run_tests test_package.AfterUpgrade test_package.KioskSession

step "remove"
logs_before=$(find /var/log/lumo7browser -name '*.log' | sort)
[ -n "$logs_before" ] || fail "no logs in /var/log/lumo7browser before removal"
timeout 300 apt-get remove -y -qq "$pkg" >/dev/null
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
timeout 300 apt-get purge -y -qq "$pkg" >/dev/null
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

step "all package tests passed"
