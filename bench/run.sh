#!/usr/bin/env bash
# Benchmark of whole generator runs on the kanban and FMS models.
#
# Builds the Release configuration, runs each case as one process under
# /usr/bin/time -v, prints one table row per case and writes the table as CSV
# to bench/results/. Each case's state and transition counts are checked
# against the published sizes of the model; a difference is marked MISMATCH
# and makes the script exit with status 1.
#
# Usage: bench/run.sh [--all] [--limit] [--micro] [--keep] [CASE ...]
#   CASE      model:N or model:A-B, e.g. kanban:6 fms:8-9 (default: kanban:3-5 fms:3-7)
#   --all     every case with a published size (kanban:1-6 fms:1-9)
#   --limit   add the cases beyond the state table's limit (kanban:7 fms:10),
#             which must end with the "too many states" message
#   --micro   also build and run the micro-benchmarks (bench/micro_bench)
#   --keep    keep the output files (bench/results/out-<stamp>/)
# Environment: BUILD_DIR (default build/release-bench), JOBS (default nproc).
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/release-bench}
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
RESULTS=$ROOT/bench/results

# Published sizes: states and transitions per model and N.
declare -A PUB_STATES=(
  [kanban:1]=160 [kanban:2]=4600 [kanban:3]=58400 [kanban:4]=454475
  [kanban:5]=2546432 [kanban:6]=11261376 [kanban:7]=41644800
  [fms:1]=54 [fms:2]=810 [fms:3]=6520 [fms:4]=35910 [fms:5]=152712
  [fms:6]=537768 [fms:7]=1639440 [fms:8]=4459455 [fms:9]=11058190 [fms:10]=25397658)
declare -A PUB_TRANS=(
  [kanban:1]=616 [kanban:2]=28120 [kanban:3]=446400 [kanban:4]=3979850
  [kanban:5]=24460016 [kanban:6]=115708992 [kanban:7]=450455040
  [fms:1]=155 [fms:2]=3699 [fms:3]=37394 [fms:4]=237120 [fms:5]=1111482
  [fms:6]=4205670 [fms:7]=13552968 [fms:8]=38533968 [fms:9]=99075405 [fms:10]=234523289)
# The state table numbers at most this many states.
STATE_LIMIT=12799999

usage() {
  sed -n '2,18p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
  exit "$1"
}

specs=()
micro=0
keep=0
for arg in "$@"; do
  case $arg in
  --all) specs+=(kanban:1-6 fms:1-9) ;;
  --limit) specs+=(kanban:7 fms:10) ;;
  --micro) micro=1 ;;
  --keep) keep=1 ;;
  -h | --help) usage 0 ;;
  kanban:* | fms:*) specs+=("$arg") ;;
  *)
    echo "bench/run.sh: unknown argument '$arg' (expected model:N, model:A-B or an option)" >&2
    usage 1
    ;;
  esac
done
[ ${#specs[@]} -eq 0 ] && specs=(kanban:3-5 fms:3-7)

# Expand model:A-B into single cases, checking that each has a published size.
cases=()
for spec in "${specs[@]}"; do
  model=${spec%%:*}
  range=${spec#*:}
  if [[ $range =~ ^([0-9]+)-([0-9]+)$ ]]; then
    lo=${BASH_REMATCH[1]} hi=${BASH_REMATCH[2]}
  elif [[ $range =~ ^[0-9]+$ ]]; then
    lo=$range hi=$range
  else
    echo "bench/run.sh: bad case '$spec' (expected model:N or model:A-B)" >&2
    exit 1
  fi
  for ((n = lo; n <= hi; n++)); do
    if [ -z "${PUB_STATES[$model:$n]:-}" ]; then
      echo "bench/run.sh: no published size for $model N=$n" >&2
      exit 1
    fi
    cases+=("$model:$n")
  done
done

if [ ! -x /usr/bin/time ]; then
  echo "bench/run.sh: /usr/bin/time is missing (Debian package 'time')" >&2
  exit 1
fi

echo "== Building Release in $BUILD_DIR"
bench_flag=-DSSG_BENCH=OFF
[ $micro -eq 1 ] && bench_flag=-DSSG_BENCH=ON
cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DSSG_TESTS=OFF "$bench_flag" >/dev/null ||
  exit 1
targets=(--target gen-kanban gen-fms)
[ $micro -eq 1 ] && targets+=(micro_bench)
cmake --build "$BUILD_DIR" -j "$JOBS" "${targets[@]}" >/dev/null || {
  echo "bench/run.sh: build failed" >&2
  exit 1
}

mkdir -p "$RESULTS"
stamp=$(date +%Y%m%d-%H%M%S)
csv=$RESULTS/bench-$stamp.csv
outroot=$RESULTS/out-$stamp
mkdir -p "$outroot"

echo "model,N,states,transitions,wall_s,cpu_s,peak_rss_kb,bytes_per_state,states_per_s,transitions_per_s,output_bytes,check" >"$csv"
fmt="%-7s %3s %10s %11s %8s %8s %10s %9s %11s %12s %12s  %s\n"
printf "$fmt" model N states transitions wall_s cpu_s peak_MB B/state states/s trans/s out_bytes check
failures=0

for c in "${cases[@]}"; do
  model=${c%%:*}
  n=${c#*:}
  dir=$outroot/$model$n
  mkdir -p "$dir"
  exe=$BUILD_DIR/gen-$model
  /usr/bin/time -v -o "$dir/time.txt" "$exe" -P "$dir/" -N"$model$n" -B$((n - 1)) \
    >"$dir/stdout.txt" 2>"$dir/stderr.txt"
  status=$?

  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {
           n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$dir/time.txt")
  cpu=$(awk -F': ' '/User time/ {u = $2} /System time/ {s = $2} END {printf "%.2f", u + s}' "$dir/time.txt")
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt")

  arm=$dir/$model$n.arm
  states=0 trans=0
  if [ -f "$arm" ]; then
    states=$(sed -n 2p "$arm" | tr -d ' ')
    # Lines: 3 header lines, then per state its number, 2 per transition and
    # the closing 0.
    lines=$(wc -l <"$arm")
    [[ $states =~ ^[0-9]+$ ]] || states=0
    trans=$(((lines - 3 - 2 * states) / 2))
  fi
  outbytes=$(cat "$dir/$model$n".{arm,var,pvtype} 2>/dev/null | wc -c)

  pub_s=${PUB_STATES[$c]}
  pub_t=${PUB_TRANS[$c]}
  if [ "$pub_s" -gt "$STATE_LIMIT" ]; then
    # Beyond the table: the run must stop with the limit message.
    if [ $status -ne 0 ] && grep -q "too many states" "$dir/stderr.txt" "$dir/stdout.txt"; then
      check="ok (stopped at the state limit as expected)"
    else
      check="!!! MISMATCH: expected the state-limit message (status $status)"
      failures=$((failures + 1))
    fi
    states=0 trans=0
  elif [ $status -ne 0 ]; then
    check="!!! FAILED: exit status $status ($(head -c 200 "$dir/stderr.txt" | tr '\n' ' '))"
    failures=$((failures + 1))
  elif [ "$states" != "$pub_s" ] || [ "$trans" != "$pub_t" ]; then
    check="!!! MISMATCH: published $pub_s states / $pub_t transitions"
    failures=$((failures + 1))
  else
    check=ok
  fi

  read -r bps sps tps mb < <(awk -v r="$rss" -v s="$states" -v t="$trans" -v w="$wall" 'BEGIN {
      bps = s > 0 ? r * 1024 / s : 0; sps = w > 0 ? s / w : 0; tps = w > 0 ? t / w : 0
      printf "%.1f %.0f %.0f %.1f\n", bps, sps, tps, r / 1024 }')
  printf "$fmt" "$model" "$n" "$states" "$trans" "$wall" "$cpu" "$mb" "$bps" "$sps" "$tps" "$outbytes" "$check"
  echo "$model,$n,$states,$trans,$wall,$cpu,$rss,$bps,$sps,$tps,$outbytes,\"$check\"" >>"$csv"

  [ $keep -eq 1 ] || rm -rf "$dir"
done
[ $keep -eq 1 ] || rmdir "$outroot" 2>/dev/null

echo "CSV: $csv"

if [ $micro -eq 1 ]; then
  echo "== Micro-benchmarks"
  "$BUILD_DIR/bench/micro_bench" --benchmark_out="$RESULTS/micro-$stamp.json" \
    --benchmark_out_format=json || failures=$((failures + 1))
fi

if [ $failures -ne 0 ]; then
  echo "!!! $failures case(s) did not match the published numbers or failed: see the table above" >&2
  exit 1
fi
