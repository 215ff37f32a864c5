#!/usr/bin/env bash
# Builds and runs the libFuzzer targets of fuzz/ (clang 14, in build/fuzz).
#
# Usage: scripts/fuzz.sh build         configure and build build/fuzz
#        scripts/fuzz.sh smoke         build, then a short fixed-seed run of
#                                      every target (part of `make test`)
#        scripts/fuzz.sh run [target]  build, then fuzz each target (or one)
#                                      for FUZZ_SECONDS (default 60) seconds
#
# The committed seeds (fuzz/corpus/<target>/) are read, never written: what
# a run finds goes to build/fuzz/corpus/<target>/, which later runs read
# too, and a crashing input to build/fuzz/artifacts/. Reproduce a crash with
#   build/fuzz/fuzz-<target> <crash file>
set -euo pipefail

cd "$(dirname "$0")/.."
mode=${1:-run}
only=${2:-}
JOBS=${JOBS:-2}
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
SMOKE_RUNS=${SMOKE_RUNS:-3000}
build=build/fuzz

targets=()
for source in fuzz/Fuzz*.cpp; do
  name=$(basename "$source" .cpp)
  targets+=("${name#Fuzz}")
done

configure_and_build() {
  if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DSSG_FUZZ=ON
  fi
  cmake --build "$build" -j "$JOBS" --target fuzz-targets
}

# Options every run shares: no leak of the code's standard output into the
# log, a hang is a finding after 10 s, memory is capped.
common=(-timeout=10 -rss_limit_mb=2048 -close_fd_mask=1 -print_final_stats=1)

case $mode in
build)
  configure_and_build
  ;;
smoke)
  configure_and_build
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  status=0
  for t in "${targets[@]}"; do
    mkdir -p "$scratch/$t"
    echo "== fuzz-$t: seeds and $SMOKE_RUNS fixed-seed runs"
    if ! "$build/fuzz-$t" "${common[@]}" -seed=1 -runs="$SMOKE_RUNS" \
      -artifact_prefix="$scratch/$t-" "$scratch/$t" "fuzz/corpus/$t" >"$scratch/$t.log" 2>&1; then
      tail -n 60 "$scratch/$t.log"
      echo "fuzz-$t FAILED (log above)"
      status=1
    else
      grep -E '^(stat::number_of_executed_units|Done)' "$scratch/$t.log" || true
    fi
  done
  exit $status
  ;;
run)
  configure_and_build
  status=0
  for t in "${targets[@]}"; do
    [ -n "$only" ] && [ "$only" != "$t" ] && continue
    mkdir -p "$build/corpus/$t" "$build/artifacts"
    echo "== fuzz-$t for $FUZZ_SECONDS s"
    "$build/fuzz-$t" "${common[@]}" -max_total_time="$FUZZ_SECONDS" \
      -artifact_prefix="$build/artifacts/$t-" "$build/corpus/$t" "fuzz/corpus/$t" || status=1
  done
  exit $status
  ;;
*)
  echo "scripts/fuzz.sh: unknown mode '$mode' (expected build, smoke or run)" >&2
  exit 2
  ;;
esac
