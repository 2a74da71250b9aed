#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the test suite.
#   ./test.sh              plain build in build/
#   ./test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")"

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [[ "${1:-}" == "--sanitize" ]]; then
  build_dir=build-asan
  # The benchmarks measure nothing meaningful under the sanitizers and are left out.
  cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DZEPHRA_SANITIZE=address,undefined -DZEPHRA_BUILD_BENCH=OFF)
fi

./scripts/install-deps.sh
cmake -G Ninja -S . -B "$build_dir" "${cmake_args[@]}"
cmake --build "$build_dir" -j2
ctest --test-dir "$build_dir" --output-on-failure -j2 --timeout 300
