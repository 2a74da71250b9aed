#!/usr/bin/env bash
# Checks the Debian package the way a user meets it: builds it, installs it with apt on a fresh
# Debian 12 system (made with debootstrap in a folder, entered with chroot), and starts the program
# there from its menu entry, as IceWM's menu runs it, on a virtual display with IceWM's tray.
#
# usage: sudo scripts/check-package.sh [ROOT]
#   ROOT   the folder for the fresh system (default build-pkg/debian-root); an existing one is
#          used as it is, so a second run doesn't download the base system again.
# Needs root, debootstrap and network access to deb.debian.org. Leaves a screenshot of the
# running program in build-pkg/package-check.png.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build="$source_dir/build-pkg"
root=${1:-$build/debian-root}
shot="$build/package-check.png"
display=:77

if [[ $(id -u) -ne 0 ]]; then
  echo "check-package.sh: run as root (debootstrap and chroot need it)" >&2
  exit 2
fi
command -v debootstrap >/dev/null || apt-get install -y -qq --no-install-recommends debootstrap

# --- the package ---------------------------------------------------------------------------------

cmake -G Ninja -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DZEPHRA_BUILD_TESTS=OFF -DZEPHRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target package
deb=$(ls -t "$build"/zephra-wifi_*.deb | head -n 1)
echo "package: $deb"

# --- a fresh system ------------------------------------------------------------------------------

if [[ ! -x $root/usr/bin/apt-get ]]; then
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi

mounted=()
cleanup() {
  chroot "$root" pkill -TERM -x zephra-wifi 2>/dev/null || true
  chroot "$root" pkill -TERM -x icewm 2>/dev/null || true
  chroot "$root" pkill -TERM -x Xvfb 2>/dev/null || true
  sleep 1
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -R "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT
for fs in proc sys dev; do
  mountpoint -q "$root/$fs" || { mount --rbind "/$fs" "$root/$fs"; mounted+=("$root/$fs"); }
done
cp /etc/resolv.conf "$root/etc/resolv.conf"

in_root() { chroot "$root" env DISPLAY="$display" HOME=/root LANG=C.UTF-8 "$@"; }

# A desktop for the user: a virtual display, a window manager with a menu and a tray, and tools to
# look at it. Then the package, with whatever it declares it needs.
cp "$deb" "$root/tmp/"
in_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  xvfb xauth icewm xdotool x11-utils imagemagick procps
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")"

echo "--- installed"
in_root dpkg -L zephra-wifi | grep -E 'bin/|\.desktop$|\.png$|README'
in_root getcap /usr/bin/zephra-wifi

# --- the menu entry ------------------------------------------------------------------------------

# IceWM builds its application menu from the desktop entries; its line for ours names the command.
entry=$(in_root icewm-menu-fdo | grep -F '"Zephra . WIFI"' || true)
if [[ -z $entry ]]; then
  echo "check-package.sh: IceWM's menu has no Zephra . WIFI entry" >&2
  exit 1
fi
echo "IceWM menu: $entry"
command=${entry##* }

in_root Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
sleep 2
in_root icewm >/dev/null 2>&1 &
sleep 2
in_root "$command" >/dev/null 2>&1 &
started=false
for ((tenths = 0; tenths < 100; tenths++)); do
  if in_root xdotool search --class zephra-wifi >/dev/null 2>&1; then
    started=true
    break
  fi
  sleep 0.1
done
sleep 2
in_root import -window root /tmp/package-check.png && cp "$root/tmp/package-check.png" "$shot"
if ! $started || ! in_root pgrep -x zephra-wifi >/dev/null; then
  echo "check-package.sh: the program did not start from its menu entry" >&2
  exit 1
fi
echo "zephra-wifi runs from its menu entry ($command); screenshot: $shot"

# Stopping it as its README says: SIGTERM ends it like the tray menu's close item.
in_root pkill -TERM -x zephra-wifi
for ((tenths = 0; tenths < 50; tenths++)); do
  in_root pgrep -x zephra-wifi >/dev/null || break
  sleep 0.1
done
if in_root pgrep -x zephra-wifi >/dev/null; then
  echo "check-package.sh: the program did not end on SIGTERM" >&2
  exit 1
fi
echo "package check: ok"
