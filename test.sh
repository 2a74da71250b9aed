#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the test suite.
#   ./test.sh              plain build in build/
#   ./test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   ./test.sh --sanitize=thread
#                          ThreadSanitizer build in build-tsan/, without the end-to-end and
#                          packaging tests
set -euo pipefail
cd "$(dirname "$0")"

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
ctest_args=()
# The benchmarks measure nothing meaningful under the sanitizers and are left out.
case "${1:-}" in
  "") ;;
  --sanitize | --sanitize=address,undefined)
    build_dir=build-asan
    cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DZEPHRA_SANITIZE=address,undefined -DZEPHRA_BUILD_BENCH=OFF)
    ;;
  --sanitize=thread)
    build_dir=build-tsan
    # Optimised, as ThreadSanitizer advises: a Debug build runs the threaded tests many times
    # slower. The end-to-end tests run the real program, whose Qt and GLib (not built with the
    # sanitizer) would report races the test programs' suppressions hide, and the packaging
    # test checks the install, not threads: both are left out.
    cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPHRA_SANITIZE=thread -DZEPHRA_BUILD_BENCH=OFF)
    ctest_args=(-E '^(e2e|packaging)\.')
    ;;
  *)
    echo "usage: $0 [--sanitize | --sanitize=thread]" >&2
    exit 2
    ;;
esac

./scripts/install-deps.sh
cmake -G Ninja -S . -B "$build_dir" "${cmake_args[@]}"
cmake --build "$build_dir" -j2

tests=(ctest --test-dir "$build_dir" --output-on-failure -j2 --timeout 300 "${ctest_args[@]}")
# As root, the tests run in a network of their own: nothing else on the machine holds the link's
# fixed ports, and an address ending in .1 (as on the PC's own hotspot) lets the end-to-end tests
# download the phone app from the install window. Elsewhere they run on the machine's network and
# skip what it doesn't allow.
if [[ $(id -u) -eq 0 ]] && command -v ip >/dev/null && unshare -n true 2>/dev/null; then
  unshare -n bash -c '
    ip link set lo up
    ip link add zephra0 type veth peer name zephra1 &&
      ip addr add 192.168.137.1/24 dev zephra0 &&
      ip link set zephra0 up && ip link set zephra1 up ||
      echo "test.sh: no hotspot-like address; the download test will skip" >&2
    exec "$@"' tests "${tests[@]}"
else
  "${tests[@]}"
fi
