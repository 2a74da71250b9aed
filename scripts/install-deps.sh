#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the demo and the benchmarks need.
# Packages already installed are skipped; nothing asks for input.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # Qt 6: widgets, tools (moc, rcc), the xcb and offscreen platforms, image plugins
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-image-formats-plugins
  # libraries
  libboost-dev libjpeg62-turbo-dev libpng-dev libgif-dev
  # HEIF and AVIF pictures (the HEVC and AV1 decoders come with it); heif-enc makes test samples
  libheif-dev libheif-examples
  libxcb1-dev libxcb-res0-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # reference QR Code decoder and encoder, used only by tests and benchmarks
  libzbar-dev libqrencode-dev
  # an independent HTTP client for the download server's tests
  curl
  # fuzzing
  clang libclang-rt-14-dev
  # the demo and the end-to-end tests: a virtual display, a tray, input, screenshots, CJK glyphs
  xvfb xauth x11-utils xdotool imagemagick icewm fonts-wqy-microhei
  # a headless Wayland session with XWayland for the Wayland end-to-end test
  weston xwayland
  # the Debian package (dpkg-shlibdeps) and the check of the installed menu entries
  dpkg-dev desktop-file-utils
  # the tests' own network (ip) and the listening-port checks (ss)
  iproute2
  # a private bus with stand-ins for NetworkManager and firewalld (tools/nm-standin)
  dbus-daemon python3-dbus python3-gi
  # a phone's web browser for the browser phone's tests and demo (tools/browser-phone), and the
  # demo's reading of its QR code from the screen
  chromium chromium-driver python3-selenium zbar-tools
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
