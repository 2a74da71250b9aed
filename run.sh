#!/usr/bin/env bash
# Builds Zephra . WIFI and shows it working: the tray program next to the partner hotspot's
# stand-in, with a phone simulator that joins it and runs a slide show of the sample pictures
# (drawn by scripts/make-samples.sh), which the program shows full screen.
#
# usage: ./run.sh [SECONDS]
#        ./run.sh browser
#
# With a display ($DISPLAY set) everything runs there until Ctrl+C or until the program is closed
# from its tray menu. Without one, a virtual display (Xvfb) with a window manager that has a
# system tray (IceWM) is started and screenshots go to build/: run-start.png (the start with its
# toast), run-viewer.png (the first picture), run-slide.png (a later one) and run-keys.png (after
# keys turned and zoomed it); Esc then closes the viewer, run-shot.png shows the tray menu SECONDS
# (default 12) after the phone's start (or once the keys are done, if later), and everything
# stops. Every process started here is stopped on the way out. ZEPHRA_BUILD_DIR overrides the
# build folder (default build/).
#
# `./run.sh browser` shows the browser phone instead of the phone simulator: the tray menu's
# browser item is opened, its QR code read from the screen (zbarimg), and headless Chromium
# (tools/browser-phone) opens that address as a phone's browser would, picks the sample pictures,
# taps the second, steps to the next and starts the slide show. Screenshots go to build/:
# run-browser-page.png (the page in the phone's browser), run-browser-pc.png (the tapped
# picture on the PC) and run-browser-slide.png (the slide show a few seconds on); then
# everything stops, with a display or without.
set -euo pipefail

root=$(cd "$(dirname "$0")" && pwd)
build=${ZEPHRA_BUILD_DIR:-$root/build}
samples="$build/samples"
shot="$build/run-shot.png"
start_shot="$build/run-start.png"
viewer_shot="$build/run-viewer.png"
slide_shot="$build/run-slide.png"
keys_shot="$build/run-keys.png"
app="$build/src/app/zephra-wifi"
phone="$build/tools/phone/zephra-phone"
standin="$build/tools/hotspot/hotspot-standin"

control_port=22307
port_wait_seconds=10
stop_wait_seconds=5
# Seconds after the phone's start at which the headless run takes its viewer screenshots; the
# slide show moves on every 3 s.
viewer_shot_at=3
slide_shot_at=6

# The browser phone's demo.
browser_mode=false
browser_port=22309
browser_caption='用手机浏览器看图'
browser_driver="$root/tools/browser-phone/browser-phone.py"
browser_page_shot="$build/run-browser-page.png"
browser_pc_shot="$build/run-browser-pc.png"
browser_slide_shot="$build/run-browser-slide.png"
# Seconds the slide show runs before its screenshot; it moves on every 3 s.
browser_slide_seconds=7

headless_seconds=12
if [[ ${1:-} == browser ]]; then
  browser_mode=true
elif [[ -n ${1:-} ]]; then
  headless_seconds=$1
fi
if ! [[ $headless_seconds =~ ^[0-9]+$ ]] || (($# > 1)); then
  echo "usage: $0 [SECONDS | browser]" >&2
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

"$root/scripts/make-samples.sh" "$samples"

# --- the phone link's port ---------------------------------------------------------------------

listening() { ss -Hltn "sport = :$1" | grep -q .; }

# A port held already would let the phone join some other program.
for port in "$control_port" $($browser_mode && echo "$browser_port"); do
  if listening "$port"; then
    echo "run.sh: port $port is in use already (does another zephra-wifi run?)" >&2
    exit 1
  fi
done

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

# --- screenshots and keys on the virtual display ----------------------------------------------

# Sleeps until `seconds` after the phone's start; at once when that has passed.
sleep_until() {
  local now wait
  now=${EPOCHREALTIME//[^0-9]/}
  wait=$((phone_started + $1 * 1000000 - now))
  ((wait > 0)) || return 0
  sleep "$((wait / 1000000)).$(printf '%06d' $((wait % 1000000)))"
}

screenshot() {  # screenshot <file> <what it shows>
  import -window root "$1"
  echo "Screenshot of $2: $1"
}

# The program's visible windows, one "<window> <area> <width>" line each.
program_windows() {
  # shellcheck disable=SC2034  # X, Y and SCREEN are set by getwindowgeometry --shell and not needed
  local window X Y WIDTH HEIGHT SCREEN
  for window in $(xdotool search --onlyvisible --class zephra-wifi 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    echo "$window $((WIDTH * HEIGHT)) $WIDTH"
  done
}

# The program's largest visible window, which is the full-screen viewer while it is up; nothing
# when the program shows no window of at least half the screen's width.
viewer_window() {
  local screen_width window width
  screen_width=$(xdotool getdisplaygeometry | cut -d' ' -f1)
  read -r window _ width < <(program_windows | sort -n -r -k2 | head -n 1) || return 0
  ((width * 2 >= screen_width)) && echo "$window"
  return 0
}

# Focuses the viewer and types `keys` (xdotool key names) into it, one after another.
press_keys() {
  local window key
  window=$(viewer_window)
  if [[ -z $window ]]; then
    echo "run.sh: no viewer window is up; keys not sent: $*" >&2
    return 0
  fi
  xdotool windowactivate "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null || true
  sleep 0.3
  for key in "$@"; do
    xdotool key --clearmodifiers "$key"
    sleep 0.5
  done
}

# Right-clicks the program's tray icon (its smallest window) so that the screenshot shows its
# menu; nothing when the icon can't be found.
open_tray_menu() {
  # shellcheck disable=SC2034  # SCREEN is set by getwindowgeometry --shell and not needed
  local window X Y WIDTH HEIGHT SCREEN
  window=$(program_windows | sort -n -k2 | head -n 1 | cut -d' ' -f1)
  [[ -n $window ]] || return 0
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
  sleep 1
}

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
if $headless && ! $browser_mode; then
  sleep 1  # the start-up toast is up for 5 s
  screenshot "$start_shot" "the start"
fi

# --- the browser phone ---------------------------------------------------------------------------

fail() {
  echo "run.sh: $*" >&2
  exit 1
}

# The browser window: a window of the program titled browser_caption; nothing while none shows.
browser_window() {
  xdotool search --onlyvisible --name "^$browser_caption\$" 2>/dev/null | head -n 1
}

# Picks the tray menu's browser item (the second) and prints its window once it shows; one more
# try when a click or a key got lost.
open_browser_window() {
  local try tenths window
  for ((try = 0; try < 2; try++)); do
    open_tray_menu
    xdotool key Down Down Return
    for ((tenths = 0; tenths < port_wait_seconds * 10; tenths++)); do
      window=$(browser_window)
      [[ -n $window ]] && { echo "$window"; return 0; }
      sleep 0.1
    done
    xdotool key Escape  # a menu that stayed open
  done
  return 1
}

# What the QR code in `window` says, once it has been painted.
read_qr_code() {
  local window=$1 image code tries
  image=$(mktemp --suffix=.png)
  for ((tries = 0; tries < 20; tries++)); do
    import -window "$window" "$image" 2>/dev/null &&
      code=$(zbarimg -q --raw "$image" 2>/dev/null) && [[ -n $code ]] && break
    sleep 0.25
  done
  rm -f "$image"
  [[ -n ${code:-} ]] && echo "$code"
}

# Sends one command to the browser and prints its answer line; fails without one in `seconds`.
browser_do() {  # browser_do <seconds> <command> [<argument>...]
  local seconds=$1 reply
  shift
  echo "$*" >&"${browser[1]}"
  IFS= read -r -t "$seconds" reply <&"${browser[0]}" || fail "the browser did not answer: $*"
  echo "$reply"
}

# The same for a command that answers "ok".
browser_ok() {
  local reply
  reply=$(browser_do "$@")
  [[ $reply == ok ]] || fail "the browser answered \"$reply\" to: ${*:2}"
}

browser_demo() {
  local window url ready
  window=$(open_browser_window) || fail "the tray menu's browser item opened no window"
  url=$(read_qr_code "$window") || fail "no QR code could be read in the browser window"
  echo "The browser window's QR code reads $url"
  # Esc closes the window; the page's server stays on.
  xdotool windowactivate "$window" 2>/dev/null || true
  xdotool key Escape

  coproc browser { exec /usr/bin/python3 "$browser_driver" "$url"; }
  pids+=("$browser_PID")
  IFS= read -r -t 60 ready <&"${browser[0]}" || ready="no answer"
  [[ $ready == ready ]] || fail "the browser did not come up: $ready"
  browser_ok 30 wait status data-state connected 20
  browser_ok 30 pick "$samples"/[0-9][0-9]-*
  # The second picture comes up on the PC; the page marks it.
  browser_ok 30 tap 1
  browser_ok 60 wait index data-index 1 50
  sleep 1  # the transition
  screenshot "$browser_pc_shot" "the tapped picture on the PC"
  browser_ok 30 shot "$browser_page_shot"
  echo "Screenshot of the page in the phone's browser: $browser_page_shot"
  browser_ok 30 click next
  browser_ok 60 wait index data-index 2 50
  browser_ok 30 click play
  sleep "$browser_slide_seconds"
  screenshot "$browser_slide_shot" "the slide show, ${browser_slide_seconds}s on"
  echo "The page shows: $(browser_do 30 text index)"
  browser_ok 30 click stop
  browser_ok 30 quit
}

if $browser_mode; then
  browser_demo
  exit 0
fi

phone_started=${EPOCHREALTIME//[^0-9]/}  # microseconds
"$phone" --name demo-phone --slideshow "$samples"/[0-9][0-9]-* &
pids+=($!)

if $headless; then
  sleep_until "$viewer_shot_at"
  screenshot "$viewer_shot" "the viewer with the first picture"
  sleep_until "$slide_shot_at"
  screenshot "$slide_shot" "the slide show's next picture"
  # A quarter turn to the right, then one zoom step in.
  press_keys ctrl+alt+r plus
  screenshot "$keys_shot" "the picture turned and zoomed by keys"
  press_keys Escape
  sleep_until "$headless_seconds"
  open_tray_menu
  screenshot "$shot" "the tray menu"
  exit 0
fi

echo "Running on $DISPLAY; close it from the tray menu or press Ctrl+C."
wait "$app_pid" || true
