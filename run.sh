#!/usr/bin/env bash
# Builds Zephra . WIFI and shows it working: the tray program next to the partner hotspot's
# stand-in, with a phone simulator that joins it and offers a few sample pictures.
#
# usage: ./run.sh [SECONDS]
#
# With a display ($DISPLAY set) everything runs there until Ctrl+C or until the program is closed
# from its tray menu. Without one, a virtual display (Xvfb) with a window manager that has a
# system tray (IceWM) is started; a screenshot of the start (with its toast) is written to
# build/run-start.png, after SECONDS (default 6) one with the tray menu open to build/run-shot.png,
# and everything stops. Every process started here is stopped on the way out.
# ZEPHRA_BUILD_DIR overrides the build folder (default build/).
set -euo pipefail

root=$(cd "$(dirname "$0")" && pwd)
build=${ZEPHRA_BUILD_DIR:-$root/build}
samples="$build/samples"
shot="$build/run-shot.png"
start_shot="$build/run-start.png"
app="$build/src/app/zephra-wifi"
phone="$build/tools/phone/zephra-phone"
standin="$build/tools/hotspot/hotspot-standin"

control_port=22307
port_wait_seconds=10
stop_wait_seconds=5
sample_count=4

headless_seconds=${1:-6}
if ! [[ $headless_seconds =~ ^[0-9]+$ ]]; then
  echo "usage: $0 [SECONDS]" >&2
  exit 2
fi

# --- cleanup -----------------------------------------------------------------------------------

pids=()  # in start order; stopped in reverse

# Asks `pid` to end and waits for it; after stop_wait_seconds it is killed.
stop_process() {
  local pid=$1 tenths
  kill -TERM "$pid" 2>/dev/null || return 0
  for ((tenths = 0; tenths < stop_wait_seconds * 10; tenths++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    stop_process "${pids[i]}"
  done
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- build -------------------------------------------------------------------------------------

"$root/scripts/install-deps.sh"
cmake -G Ninja -B "$build" -S "$root" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j2 zephra-wifi zephra-phone hotspot-standin

# --- sample pictures ---------------------------------------------------------------------------

make_samples() {
  local i picture
  mkdir -p "$samples"
  for ((i = 1; i <= sample_count; i++)); do
    picture="$samples/sample-$i.jpg"
    [[ -s $picture ]] && continue
    convert -seed "$i" -size 1600x1200 plasma:fractal \
      -gravity south -pointsize 96 -fill white -stroke black -strokewidth 2 \
      -annotate +0+60 "Zephra sample $i" -quality 90 "$picture"
  done
}
make_samples

# --- display -----------------------------------------------------------------------------------

# The first display number from 99 up that no X server holds.
free_display() {
  local n
  for ((n = 99; n < 199; n++)); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] || { echo ":$n"; return 0; }
  done
  return 1
}

wait_for_display() {
  local tenths
  for ((tenths = 0; tenths < port_wait_seconds * 10; tenths++)); do
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "run.sh: the virtual display $DISPLAY did not come up" >&2
  return 1
}

headless=false
if [[ -z ${DISPLAY:-} ]]; then
  headless=true
  DISPLAY=$(free_display)
  export DISPLAY
  Xvfb "$DISPLAY" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  wait_for_display
  # IceWM's task bar holds the system tray that the program's icon goes into.
  icewm >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi

# --- the partner hotspot, the program and the phone ---------------------------------------------

# The program offers the phone link only while the partner hotspot runs: its stand-in comes first.
standin_out=$(mktemp)
"$standin" >"$standin_out" &
pids+=($!)
for ((tenths = 0; tenths < port_wait_seconds * 10; tenths++)); do
  grep -q '^ready' "$standin_out" && break
  sleep 0.1
done
rm -f "$standin_out"

listening() { ss -Hltn "sport = :$1" | grep -q .; }

wait_for_port() {
  local pid=$1 port=$2 tenths
  for ((tenths = 0; tenths < port_wait_seconds * 10; tenths++)); do
    listening "$port" && return 0
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "run.sh: zephra-wifi ended early (is another copy running?)" >&2
      return 1
    fi
    sleep 0.1
  done
  echo "run.sh: nothing listens on port $port after ${port_wait_seconds}s" >&2
  return 1
}

"$app" &
app_pid=$!
pids+=("$app_pid")
wait_for_port "$app_pid" "$control_port"
echo "zephra-wifi runs (pid $app_pid) and listens on port $control_port"
if $headless; then
  sleep 1  # the start-up toast is up for 5 s
  import -window root "$start_shot"
  echo "Screenshot of the start: $start_shot"
fi

"$phone" --name demo-phone "$samples"/*.jpg &
pids+=($!)

# Right-clicks the program's tray icon so that the screenshot shows its menu; nothing when the
# icon can't be found.
open_tray_menu() {
  local window X Y WIDTH HEIGHT SCREEN
  window=$(xdotool search --class zephra-wifi 2>/dev/null | head -n 1) || return 0
  [[ -n $window ]] || return 0
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
  sleep 1
}

if $headless; then
  sleep "$headless_seconds"
  open_tray_menu
  import -window root "$shot"
  echo "Screenshot of the virtual display: $shot"
  exit 0
fi

echo "Running on $DISPLAY; close it from the tray menu or press Ctrl+C."
wait "$app_pid" || true
