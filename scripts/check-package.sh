#!/usr/bin/env bash
# Checks the Debian package the way a user meets it: builds it, installs it with apt on a fresh
# Debian 12 system (made with debootstrap in a folder, entered with chroot), and starts the program
# there from its menu entry, as IceWM's menu runs it, on a virtual display with IceWM's tray.
#
# usage: sudo scripts/check-package.sh [ROOT]
#   ROOT   the folder for the fresh system (default build-pkg/debian-root); an existing one is
#          used as it is, so a second run doesn't download the base system again.
# Needs root and network access to deb.debian.org. Leaves a screenshot of the running program
# in build-pkg/package-check.png. ZEPHRA_APK names the phone app package to embed (without it the
# package carries the placeholder archive).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build="$source_dir/build-pkg"
root=${1:-$build/debian-root}
shot="$build/package-check.png"

if [[ $(id -u) -ne 0 ]]; then
  echo "check-package.sh: run as root (debootstrap and chroot need it)" >&2
  exit 2
fi
if ! command -v debootstrap >/dev/null; then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends debootstrap
fi

# --- the package ---------------------------------------------------------------------------------

cmake -G Ninja -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DZEPHRA_BUILD_TESTS=OFF -DZEPHRA_BUILD_BENCH=OFF -DZEPHRA_APK="${ZEPHRA_APK:-}" >/dev/null
cmake --build "$build" -j2 --target package
deb=$(ls -t "$build"/zephra-wifi_*.deb | head -n 1)
echo "package: $deb"

# --- a fresh system ------------------------------------------------------------------------------

if [[ ! -x $root/usr/bin/apt-get ]]; then
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi

# The chroot shares the machine's processes: only what this script started is stopped.
mounted=()
pids=()
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -TERM "${pids[i]}" 2>/dev/null || true
  done
  sleep 1
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -R "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT
for fs in proc sys dev; do
  mountpoint -q "$root/$fs" || { mount --rbind "/$fs" "$root/$fs"; mounted+=("$root/$fs"); }
done
cp /etc/resolv.conf "$root/etc/resolv.conf"

# A display number that neither the machine nor the fresh system uses (X's abstract sockets are
# shared with the machine).
for ((n = 77; n < 177; n++)); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n || -e $root/tmp/.X$n-lock ]] || break
done
display=:$n

in_root() { chroot "$root" env DISPLAY="$display" HOME=/root LANG=C.UTF-8 "$@"; }
# Waits up to 10 s for a command inside the fresh system to succeed.
wait_in_root() {
  local tenths
  for ((tenths = 0; tenths < 100; tenths++)); do
    in_root "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# A desktop for the user: a virtual display, a window manager with a menu and a tray, and tools to
# look at it. Then the package, with whatever it declares it needs.
cp "$deb" "$root/tmp/"
in_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  xvfb xauth icewm xdotool x11-utils imagemagick procps
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --reinstall "/tmp/$(basename "$deb")"

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

# True while `pid` runs (an ended child stays a zombie until reaped).
alive() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  [[ $state != Z* ]]
}

# chroot and env exec what they run, so each $! is the started program itself.
chroot "$root" env DISPLAY="$display" Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp \
  >/dev/null 2>&1 &
pids+=($!)
wait_in_root xdpyinfo || { echo "check-package.sh: the display did not come up" >&2; exit 1; }
chroot "$root" env DISPLAY="$display" HOME=/root icewm >/dev/null 2>&1 &
pids+=($!)
# IceWM's tray is up once something owns the tray selection.
wait_in_root sh -c 'xdotool search --class icewm' || true
chroot "$root" env DISPLAY="$display" HOME=/root LANG=C.UTF-8 "$command" >/dev/null 2>&1 &
app=$!
pids+=("$app")
if ! wait_in_root xdotool search --class zephra-wifi || ! alive "$app"; then
  echo "check-package.sh: the program did not start from its menu entry" >&2
  exit 1
fi
sleep 1  # its start-up toast
in_root import -window root /tmp/package-check.png && cp "$root/tmp/package-check.png" "$shot"
echo "zephra-wifi runs from its menu entry ($command); screenshot: $shot"

# Stopping it as its README says: SIGTERM ends it like the tray menu's close item.
kill -TERM "$app"
for ((tenths = 0; tenths < 50; tenths++)); do
  alive "$app" || break
  sleep 0.1
done
if alive "$app"; then
  echo "check-package.sh: the program did not end on SIGTERM" >&2
  exit 1
fi
echo "package check: ok"
