#!/usr/bin/env bash
# Installs the build into a staging folder and builds the Debian package from it, then checks
# what a user's system would get: the program, valid menu and autostart entries that start it,
# the icon, the README, and a package that declares its run-time needs and sets port 86 up.
# Exits 77 (a skip) when the Debian tools it needs are missing.
#   install_test.sh <build folder> <configured install prefix>
set -euo pipefail

for tool in desktop-file-validate dpkg-deb cpack; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done

build=$1
prefix=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

expect_file() {
  [[ -f "$stage/root$1" ]] || fail "not installed: $1"
}

DESTDIR="$stage/root" cmake --install "$build" >"$stage/install.log"

program="$prefix/bin/zephra-wifi"
[[ -x "$stage/root$program" ]] || fail "no program at $program"
for size in 16 32 64; do
  expect_file "$prefix/share/icons/hicolor/${size}x${size}/apps/zephra-wifi.png"
done
expect_file "$prefix/share/doc/zephra-wifi/README.md"
# Only the program: the simulator and the stand-in are development tools.
[[ ! -e "$stage/root$prefix/bin/zephra-phone" && ! -e "$stage/root$prefix/bin/hotspot-standin" ]] ||
  fail "a development tool was installed"

# The firewall's service and profile, where firewalld and ufw read them.
firewalld=$(find "$stage/root" -path '*/firewalld/services/zephra-wifi.xml' | head -n 1)
ufw=$(find "$stage/root" -path '*/ufw/applications.d/zephra-wifi' | head -n 1)
[[ -n $firewalld ]] && grep -q 'port protocol="tcp" port="22307"' "$firewalld" ||
  fail "no firewalld service with the link's ports"
[[ -n $ufw ]] && grep -qx 'ports=86,22307,22308,22309/tcp' "$ufw" || fail "no ufw profile"

menu="$stage/root$prefix/share/applications/zephra-wifi.desktop"
autostart=$(find "$stage/root" -path '*/xdg/autostart/zephra-wifi.desktop' | head -n 1)
for entry in "$menu" "$autostart"; do
  if [[ ! -f "$entry" ]]; then
    fail "missing entry ${entry:-autostart}"
    continue
  fi
  desktop-file-validate "$entry" || fail "invalid entry $entry"
  grep -qx "Exec=$program" "$entry" || fail "$entry does not start $program"
  grep -qx "Icon=zephra-wifi" "$entry" || fail "$entry names another icon"
done

# An install into another prefix than the configured one: the entries follow it.
other=/opt/zephra
DESTDIR="$stage/other" cmake --install "$build" --prefix "$other" >"$stage/other.log"
other_menu="$stage/other$other/share/applications/zephra-wifi.desktop"
other_autostart="$stage/other$other/etc/xdg/autostart/zephra-wifi.desktop"
grep -qx "Exec=$other/bin/zephra-wifi" "$other_menu" || fail "the menu entry ignores --prefix"
grep -qx "Exec=$other/bin/zephra-wifi" "$other_autostart" || fail "the autostart entry ignores --prefix"
leaked=$(cd "$stage/other" && find . -type f ! -path "./${other#/}/*")
[[ -z $leaked ]] || fail "installed outside --prefix $other: $leaked"

# The package, from the same build.
(cd "$stage" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$stage/deb" >"$stage/cpack.log") ||
  { cat "$stage/cpack.log" >&2; fail "cpack failed"; }
deb=$(find "$stage/deb" -maxdepth 1 -name 'zephra-wifi_*.deb' | head -n 1)
if [[ -z $deb ]]; then
  fail "no package was built"
else
  depends=$(dpkg-deb -f "$deb" Depends)
  for need in libqt6widgets6 libqt6dbus6 libjpeg62-turbo libpng16-16 libgif7 qt6-qpa-plugins \
    libcap2-bin libheif1; do
    [[ $depends == *"$need"* ]] || fail "the package does not depend on $need: $depends"
  done
  contents=$(dpkg-deb -c "$deb")
  for path in "$program" "$prefix/share/applications/zephra-wifi.desktop" \
    "/xdg/autostart/zephra-wifi.desktop" "/apps/zephra-wifi.png" \
    "/firewalld/services/zephra-wifi.xml" "/ufw/applications.d/zephra-wifi"; do
    [[ $contents == *"$path"* ]] || fail "the package lacks $path"
  done
  dpkg-deb -e "$deb" "$stage/control"
  grep -qx "/etc/xdg/autostart/zephra-wifi.desktop" "$stage/control/conffiles" 2>/dev/null ||
    [[ $prefix != /usr && $prefix != /usr/local ]] ||
    fail "the autostart entry is not a configuration file of the package"
  grep -q "setcap cap_net_bind_service=+ep $program" "$stage/control/postinst" ||
    fail "postinst does not give $program port 86"
fi

((failures == 0)) && echo "install and package: ok"
exit $((failures > 0))
