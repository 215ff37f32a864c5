#!/usr/bin/env bash
# Benchmark of whole generator runs on the kanban and FMS models.
#
# Builds the Release configuration, runs each case as one process under
# /usr/bin/time -v, prints one table row per case and writes the table as CSV
# to bench/results/. Each case is checked twice:
# - its state and transition counts against the published sizes of the model;
# - the SHA-256 of every file it writes against bench/reference.sha256.
# A difference is marked loudly (!!! MISMATCH / !!! CHECKSUM) and makes the
# script exit with status 1.
#
# Usage: bench/run.sh [--all] [--repeat N] [--bin DIR] [--workers LIST] [--micro] [--solve]
#                     [--keep] [CASE ...]
#   CASE        model:N or model:A-B, e.g. kanban:6 fms:8-9
#               (default: kanban:3-6 fms:3-8 maintenance:0-1); example:E,
#               mdk:E and maintenance:E run an experiment of the example, of
#               gen-mdk or of gen-maintenance (checksums only)
#   --all       every case: kanban:1-7 fms:1-10 example:0-5 mdk:0-2
#               maintenance:0-1
#               (kanban 7 and FMS 10 write 11 and 6 GB)
#   --repeat N  run each case that takes under a minute N times and report
#               the run of median wall time (default 3; 1 for a quick look)
#   --bin DIR   run the executables in DIR as they are, without building
#               (for instance another build to compare with)
#   --workers LIST  also run each case (not the deterministic mdk and
#               maintenance ones) with each number of worker processes in
#               the comma-separated LIST under mpirun, e.g. --workers 1,2
#               (rows model/wN; the same counts and checksums are checked,
#               peak_MB is the largest worker's; the bytes the workers sent
#               each other are in the last column)
#   --micro     also build and run the micro-benchmarks (bench/micro_bench)
#   --solve     also run the solver's benchmark (bench/solve.sh: kanban N=5
#               solved to 1e-10, against its target of 12 s and 250 MB, and
#               the deterministic-delay chains M/D/1/K K=1000 (mdk:2) and
#               maintenance N=170 (maintenance:1, target 30 s))
#   --keep      keep the output files (bench/results/out-<stamp>/)
#   --help, --version   this text, or the version (whatever else is given)
# Environment: BUILD_DIR (default build/release-bench), JOBS (default nproc).
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/release-bench}
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
RESULTS=$ROOT/bench/results
REFERENCE=$ROOT/bench/reference.sha256

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
# Experiments of the example (gen) and of gen-mdk.
declare -A NUM_EXPERIMENTS=([example]=6 [mdk]=3 [maintenance]=2)

usage() {
  sed -n '2,38p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
  exit "$1"
}

# --help and --version answer whatever else is on the command line.
for arg in "$@"; do
  case $arg in -h | --help) usage 0 ;; esac
done
for arg in "$@"; do
  [ "$arg" = --version ] && echo "bench/run.sh 1.0.0" && exit 0
done

specs=()
worker_counts=()
micro=0
solve=0
keep=0
repeat=3
bindir=
while [ $# -gt 0 ]; do
  case $1 in
  --all) specs+=(kanban:1-7 fms:1-10 example:0-5 mdk:0-2 maintenance:0-1) ;;
  --repeat)
    [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || {
      echo "bench/run.sh: --repeat needs a positive count" >&2
      exit 1
    }
    repeat=$2
    shift
    ;;
  --bin)
    [ -d "${2:-}" ] || {
      echo "bench/run.sh: --bin needs a directory of built executables" >&2
      exit 1
    }
    bindir=$(cd "$2" && pwd)
    shift
    ;;
  --workers)
    [[ ${2:-} =~ ^[1-9][0-9]*(,[1-9][0-9]*)*$ ]] || {
      echo "bench/run.sh: --workers needs a list of worker counts, e.g. 1,2" >&2
      exit 1
    }
    IFS=, read -r -a worker_counts <<<"$2"
    shift
    ;;
  --micro) micro=1 ;;
  --solve) solve=1 ;;
  --keep) keep=1 ;;
  -h | --help) usage 0 ;;
  kanban:* | fms:* | example:* | mdk:* | maintenance:*) specs+=("$1") ;;
  *)
    echo "bench/run.sh: unknown argument '$1' (expected model:N, model:A-B or an option)" >&2
    usage 1
    ;;
  esac
  shift
done
[ ${#specs[@]} -eq 0 ] && specs=(kanban:3-6 fms:3-8 maintenance:0-1)

# Expand model:A-B into single cases, checking that each exists.
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
    if [ -n "${NUM_EXPERIMENTS[$model]:-}" ]; then
      if [ "$n" -ge "${NUM_EXPERIMENTS[$model]}" ]; then
        echo "bench/run.sh: $model has experiments 0 to $((NUM_EXPERIMENTS[$model] - 1)), not $n" >&2
        exit 1
      fi
    elif [ -z "${PUB_STATES[$model:$n]:-}" ]; then
      echo "bench/run.sh: no published size for $model N=$n" >&2
      exit 1
    fi
    cases+=("$model:$n")
    if [ "$model" != mdk ] && [ "$model" != maintenance ]; then
      for w in "${worker_counts[@]}"; do
        cases+=("$model:$n:$w")
      done
    fi
  done
done

if [ ! -x /usr/bin/time ]; then
  echo "bench/run.sh: /usr/bin/time is missing (Debian package 'time')" >&2
  exit 1
fi
if [ ! -f "$REFERENCE" ]; then
  echo "bench/run.sh: $REFERENCE is missing: the output checksums cannot be checked" >&2
  exit 1
fi

if [ -n "$bindir" ]; then
  echo "== Using the executables in $bindir (not built)"
  [ $micro -eq 1 ] && {
    echo "bench/run.sh: --micro needs a build, not --bin" >&2
    exit 1
  }
else
  echo "== Building Release in $BUILD_DIR"
  bench_flag=-DSSG_BENCH=OFF
  [ $micro -eq 1 ] && bench_flag=-DSSG_BENCH=ON
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DSSG_TESTS=OFF "$bench_flag" \
    >/dev/null || exit 1
  targets=(--target gen gen-kanban gen-fms gen-mdk gen-maintenance)
  [ $micro -eq 1 ] && targets+=(micro_bench)
  cmake --build "$BUILD_DIR" -j "$JOBS" "${targets[@]}" >/dev/null || {
    echo "bench/run.sh: build failed" >&2
    exit 1
  }
  bindir=$BUILD_DIR
fi

mkdir -p "$RESULTS"
stamp=$(date +%Y%m%d-%H%M%S)
csv=$RESULTS/bench-$stamp.csv
outroot=$RESULTS/out-$stamp
mkdir -p "$outroot"

# Output bytes of a case, roughly: a transition is two .arm lines of about 26
# characters together, a state a few .arm and .var lines.
estimated_bytes() {
  local c=$1
  local s=${PUB_STATES[$c]:-0} t=${PUB_TRANS[$c]:-0}
  echo $((t * 26 + s * 64 + 1048576))
}

# Stops the run before a case whose files would not fit on the disk.
check_disk_space() {
  local c=$1 dir=$2
  local need free
  need=$(estimated_bytes "$c")
  free=$(df -P -B1 "$dir" | awk 'NR == 2 {print $4}')
  if [ -n "$free" ] && [ "$free" -lt $((need + need / 10)) ]; then
    echo "bench/run.sh: ${c/:/ N=} writes about $((need / 1000000)) MB, but only" \
      "$((free / 1000000)) MB are free in $dir; free some disk space or choose fewer cases" >&2
    exit 1
  fi
}

# Executable, experiment and file name of a case.
case_command() {
  local model=$1 n=$2
  case $model in
  example) echo "$bindir/gen $n exp$n" ;;
  mdk) echo "$bindir/gen-mdk $n mdk$n" ;;
  maintenance) echo "$bindir/gen-maintenance $n maintenance$n" ;;
  *) echo "$bindir/gen-$model $((n - 1)) $model$n" ;;
  esac
}

# One run of a case into $dir, with $workers worker processes under mpirun
# when set (allowed to run as root); sets status.
run_once() {
  local exe=$1 experiment=$2 name=$3 dir=$4
  local launch=()
  [ -n "$workers" ] && launch=(env OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
    mpirun --quiet --oversubscribe -np "$workers")
  rm -rf "$dir"
  mkdir -p "$dir"
  /usr/bin/time -v -o "$dir/time.txt" "${launch[@]}" "$exe" -P "$dir/" -N"$name" \
    -B"$experiment" >"$dir/stdout.txt" 2>"$dir/stderr.txt"
  status=$?
}

wall_of() {
  awk -F': ' '/Elapsed \(wall clock\)/ {
    n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$1"
}

# Compares the SHA-256 of every file the case wrote with the reference.
# Prints "ok", "no reference" or what differs.
checksums() {
  local dir=$1 name=$2
  local file expected actual differ=() missing=() known=0
  for file in "$name".arm "$name".var "$name".pvtype "$name".det; do
    expected=$(awk -v f="$file" '$2 == f {print $1}' "$REFERENCE")
    if [ -z "$expected" ]; then
      [ -f "$dir/$file" ] && missing+=("$file")
      continue
    fi
    known=1
    if [ ! -f "$dir/$file" ]; then
      differ+=("$file (not written)")
      continue
    fi
    actual=$(sha256sum "$dir/$file" | cut -d' ' -f1)
    [ "$actual" = "$expected" ] || differ+=("$file")
  done
  if [ ${#differ[@]} -gt 0 ]; then
    echo "!!! CHECKSUM DIFFERS: ${differ[*]}"
  elif [ $known -eq 0 ]; then
    echo "no reference"
  elif [ ${#missing[@]} -gt 0 ]; then
    echo "!!! CHECKSUM: no reference for ${missing[*]}"
  else
    echo "ok"
  fi
}

echo "model,N,states,transitions,wall_s,cpu_s,peak_rss_kb,bytes_per_state,states_per_s,transitions_per_s,output_bytes,runs,check,checksums" >"$csv"
fmt="%-7s %3s %10s %11s %8s %8s %9s %8s %10s %11s %12s %4s  %s\n"
printf "$fmt" model N states transitions wall_s cpu_s peak_MB B/state states/s trans/s out_bytes runs check
failures=0

for c in "${cases[@]}"; do
  workers=
  if [[ $c =~ ^([a-z]+:[0-9]+):([0-9]+)$ ]]; then
    c=${BASH_REMATCH[1]}
    workers=${BASH_REMATCH[2]}
  fi
  model=${c%%:*}
  n=${c#*:}
  read -r exe experiment name < <(case_command "$model" "$n")
  check_disk_space "$c" "$outroot"

  # The first run is checked; further runs of a short case only time it.
  dir=$outroot/$name
  run_once "$exe" "$experiment" "$name" "$dir"
  first_status=$status
  walls=("$(wall_of "$dir/time.txt") $dir/time.txt")
  runs=1
  if [ "$repeat" -gt 1 ] && [ $first_status -eq 0 ] &&
    awk -v w="${walls[0]% *}" 'BEGIN { exit !(w < 60) }'; then
    for ((r = 2; r <= repeat; r++)); do
      rdir=$outroot/$name-run$r
      run_once "$exe" "$experiment" "$name" "$rdir"
      [ $status -eq 0 ] || break
      cp "$rdir/time.txt" "$outroot/$name-time$r.txt"
      walls+=("$(wall_of "$rdir/time.txt") $outroot/$name-time$r.txt")
      rm -rf "$rdir"
      runs=$r
    done
  fi
  # The run of median wall time.
  median=$(printf '%s\n' "${walls[@]}" | sort -n | awk -v k=$(((${#walls[@]} + 1) / 2)) 'NR == k {print $2}')

  wall=$(wall_of "$median")
  cpu=$(awk -F': ' '/User time/ {u = $2} /System time/ {s = $2} END {printf "%.2f", u + s}' "$median")
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$median")

  arm=$dir/$name.arm
  states=0 trans=0
  if [ -f "$arm" ]; then
    states=$(sed -n 2p "$arm" | tr -d ' ')
    # Lines: the header (2 lines, and a third of blanks when the count leaves
    # room), then per state its number, 2 per transition and the closing 0.
    lines=$(wc -l <"$arm")
    [[ $states =~ ^[0-9]+$ ]] || states=0
    header=2
    [ "$(sed -n 3p "$arm" | tr -d ' ')" = "" ] && header=3
    trans=$(((lines - header - 2 * states) / 2))
  fi
  outbytes=$(cat "$dir/$name".{arm,var,pvtype,det} 2>/dev/null | wc -c)

  if [ $first_status -ne 0 ]; then
    count_check="!!! FAILED: exit status $first_status ($(head -c 200 "$dir/stderr.txt" | tr '\n' ' '))"
    failures=$((failures + 1))
  elif [ -n "${PUB_STATES[$c]:-}" ] &&
    { [ "$states" != "${PUB_STATES[$c]}" ] || [ "$trans" != "${PUB_TRANS[$c]}" ]; }; then
    count_check="!!! MISMATCH: published ${PUB_STATES[$c]} states / ${PUB_TRANS[$c]} transitions"
    failures=$((failures + 1))
  elif [ -n "${PUB_STATES[$c]:-}" ]; then
    count_check=ok
  else
    count_check="-"
  fi
  sums=$(checksums "$dir" "$name")
  case $sums in
  '!!!'*) failures=$((failures + 1)) ;;
  esac
  check="counts $count_check; checksums $sums"

  read -r bps sps tps mb < <(awk -v r="$rss" -v s="$states" -v t="$trans" -v w="$wall" 'BEGIN {
      bps = s > 0 ? r * 1024 / s : 0; sps = w > 0 ? s / w : 0; tps = w > 0 ? t / w : 0
      printf "%.1f %.0f %.0f %.1f\n", bps, sps, tps, r / 1024 }')
  label=$model
  if [ -n "$workers" ]; then
    label=$model/w$workers
    sent=$(sed -n 's/^Workers: [0-9]*, \([0-9]*\) bytes sent between them (\([0-9.e+]*\) per state).*/\1 bytes between workers, \2 per state/p' "$dir/stderr.txt")
    check="$check; ${sent:-no count of the bytes between workers}"
  fi
  printf "$fmt" "$label" "$n" "$states" "$trans" "$wall" "$cpu" "$mb" "$bps" "$sps" "$tps" \
    "$outbytes" "$runs" "$check"
  echo "$label,$n,$states,$trans,$wall,$cpu,$rss,$bps,$sps,$tps,$outbytes,$runs,\"$count_check\",\"$sums\"" >>"$csv"

  if [ $keep -eq 1 ]; then
    rm -f "$outroot/$name"-time*.txt
  else
    rm -rf "$dir" "$outroot/$name"-time*.txt
  fi
done
[ $keep -eq 1 ] || rmdir "$outroot" 2>/dev/null

echo "CSV: $csv"

if [ $micro -eq 1 ]; then
  echo "== Micro-benchmarks"
  "$BUILD_DIR/bench/micro_bench" --benchmark_out="$RESULTS/micro-$stamp.json" \
    --benchmark_out_format=json || failures=$((failures + 1))
fi

if [ $solve -eq 1 ]; then
  echo "== Solver (bench/solve.sh)"
  BUILD_DIR=$BUILD_DIR JOBS=$JOBS "$ROOT/bench/solve.sh" --repeat "$repeat" kanban:5 mdk:2 \
    maintenance:1 || failures=$((failures + 1))
fi

if [ $failures -ne 0 ]; then
  echo "!!! $failures check(s) failed: a count differs from the published size, a file from its" \
    "reference checksum, or a run failed; see the table above" >&2
  exit 1
fi
