#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ (libraries with
# -fsanitize=fuzzer-no-link,address,undefined) and runs each for the given time, two at a time.
#   scripts/fuzz.sh [seconds] [target ...]    default 60 seconds, every target
# Each run works on build-fuzz/runs/<target>/corpus/: the seeds of fuzz/corpus/<target>/ (and
# fuzz/regressions/<target>/) copied in, plus what earlier runs found (FUZZ_FRESH=1 starts from
# the seeds alone), so the committed seed corpus never grows. Crash, leak, timeout and
# out-of-memory inputs land in build-fuzz/runs/<target>/artifacts/. Prints executions, exec/s,
# coverage and artifacts per target; exits non-zero when any target found something.
# The network targets listen on ephemeral loopback ports; where possible every run happens in a
# network namespace of its own, so that nothing else on the machine sees them.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
all_targets=(control data list http jpeg png gif fallback exif)
targets=("$@")
((${#targets[@]} > 0)) || targets=("${all_targets[@]}")
jobs=${FUZZ_JOBS:-2}
build_dir=build-fuzz
runs_dir=$build_dir/runs

# Largest input per target; each target returns early above the same size.
max_len() {
  case "$1" in
    data) echo 192128 ;;
    http) echo 16384 ;;
    *) echo 65536 ;;
  esac
}

CC=clang CXX=clang++ cmake -G Ninja -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEPHRA_SANITIZE=fuzzer-no-link,address,undefined -DZEPHRA_BUILD_FUZZ=ON \
  -DZEPHRA_BUILD_TESTS=OFF -DZEPHRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j2 --target "${targets[@]/%/_fuzz}"

isolate=()
if unshare -n true 2>/dev/null; then
  isolate=(unshare -n bash -c 'ip link set lo up && exec "$@"' isolated)
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen

run_target() {
  local name=$1 dir=$runs_dir/$1
  if [[ "${FUZZ_FRESH:-0}" == 1 ]]; then rm -rf "$dir/corpus"; fi
  rm -rf "$dir/artifacts" "$dir/log"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp fuzz/corpus/"$name"/* "$dir/corpus/"
  if [[ -d fuzz/regressions/$name ]]; then cp fuzz/regressions/"$name"/* "$dir/corpus/"; fi
  # The decoders may allocate up to the picture caps (900 MB for one buffer); anything larger
  # from one allocation is a finding.
  "${isolate[@]}" "$build_dir/fuzz/${name}_fuzz" "$dir/corpus" \
    -max_total_time="$seconds" -max_len="$(max_len "$name")" -timeout=25 \
    -rss_limit_mb=4096 -malloc_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/" >"$dir/log" 2>&1 || true
}

report() {
  local name=$1 dir=$runs_dir/$1 log=$runs_dir/$1/log
  local execs rate cov artifacts
  execs=$(awk '/^stat::number_of_executed_units:/ {print $2}' "$log")
  rate=$(awk '/^stat::average_exec_per_sec:/ {print $2}' "$log")
  cov=$(grep -E '^#[0-9]+' "$log" | grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*/[0-9A-Za-z]*' | tail -1 || true)
  artifacts=$(find "$dir/artifacts" -type f ! -name 'slow-unit-*' -printf '%f ' | sed 's/ $//')
  printf '%-9s %12s execs %7s exec/s  %-40s %s\n' "$name" "${execs:-?}" "${rate:-?}" \
    "${cov:-no coverage line}" "${artifacts:+FOUND: $artifacts}"
  [[ -z "$artifacts" ]]
}

echo "Fuzzing ${targets[*]} for ${seconds} s each, $jobs at a time; logs in $runs_dir/<target>/log"
running=0
for name in "${targets[@]}"; do
  if ((running >= jobs)); then
    wait -n || true
    running=$((running - 1))
  fi
  run_target "$name" &
  running=$((running + 1))
done
wait

status=0
for name in "${targets[@]}"; do
  report "$name" || status=1
done
exit $status
