#!/usr/bin/env bash
# Benchmark of the solver (ssg-solve) on the kanban and FMS chains, and on
# the deterministic-delay chains of gen-mdk and gen-maintenance.
#
# Builds the Release configuration, generates each case's chain once with its
# model executable, then runs ssg-solve on it R times, each as one process
# under /usr/bin/time -v. Prints one row per run (wall, user and system
# seconds, peak memory, and the solver's own phase seconds: reading the
# files, closed classes, steady state, transient), then per case the median
# of each column and, for kanban N=5, the verdict against the target (at most
# 12 s and 250 MB for both variables to --epsilon 1e-10; maintenance:1, at
# most 30 s and 500 MB for its five variables). The load average
# before and after each case is printed: on a shared machine other work
# slows the runs down, so compare medians and user seconds. The rows go to
# bench/results/solve-<stamp>.csv.
#
# Usage: bench/solve.sh [--repeat R] [--keep] [--method M] [--epsilon E] [CASE ...]
#   CASE        model:N, model kanban or fms (default: kanban:5), tandem:N (experiment
#               N - 1 of gen-tandem: c = 3, 31, 255, 1023), or mdk:E,
#               maintenance:E: experiment E of gen-mdk (K = 5, 20, 1000) or
#               of gen-maintenance (N = 40, 170)
#   --repeat R  runs per case (default 3)
#   --keep      keep the generated files (bench/results/solve-out-<stamp>/)
#   --method M, --epsilon E   passed to ssg-solve (defaults: auto, 1e-10)
#   --help, --version   this text, or the version (whatever else is given)
# Environment: BUILD_DIR (default build/release), JOBS (default nproc).
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/release}
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
RESULTS=$ROOT/bench/results

# Targets: at most these seconds (median wall) and MB (peak).
TARGET_CASE=kanban:5
declare -A TARGETS=([kanban:5]="12 250" [maintenance:1]="30 500")

usage() {
  sed -n '2,26p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
  exit "$1"
}

# --help and --version answer whatever else is on the command line.
for arg in "$@"; do
  case $arg in -h | --help) usage 0 ;; esac
done
for arg in "$@"; do
  [ "$arg" = --version ] && echo "bench/solve.sh 1.0.0" && exit 0
done

cases=()
repeat=3
keep=0
method=auto
epsilon=1e-10
while [ $# -gt 0 ]; do
  case $1 in
  --repeat)
    repeat=${2:-}
    shift
    ;;
  --keep) keep=1 ;;
  --method)
    method=${2:-}
    shift
    ;;
  --epsilon)
    epsilon=${2:-}
    shift
    ;;
  -h | --help) usage 0 ;;
  kanban:* | fms:* | tandem:* | mdk:* | maintenance:*) cases+=("$1") ;;
  *)
    echo "bench/solve.sh: unknown argument '$1' (expected model:N or an option)" >&2
    usage 1
    ;;
  esac
  shift
done
[ ${#cases[@]} -eq 0 ] && cases=("$TARGET_CASE")
if ! [[ $repeat =~ ^[1-9][0-9]*$ ]]; then
  echo "bench/solve.sh: --repeat needs a whole number of runs, got '$repeat'" >&2
  exit 1
fi
for c in "${cases[@]}"; do
  case $c in
  mdk:* | maintenance:*) [[ ${c#*:} =~ ^[0-9]+$ ]] && continue ;;
  *) [[ ${c#*:} =~ ^[1-9][0-9]*$ ]] && continue ;;
  esac
  echo "bench/solve.sh: bad case '$c' (expected model:N with N at least 1, or mdk:E, maintenance:E)" >&2
  exit 1
done
if [ ! -x /usr/bin/time ]; then
  echo "bench/solve.sh: /usr/bin/time is missing (Debian package 'time')" >&2
  exit 1
fi

echo "== Building Release in $BUILD_DIR"
cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DSSG_TESTS=OFF >/dev/null || exit 1
cmake --build "$BUILD_DIR" -j "$JOBS" --target ssg-solve gen-kanban gen-fms gen-tandem gen-mdk \
  gen-maintenance >/dev/null || {
  echo "bench/solve.sh: build failed" >&2
  exit 1
}

mkdir -p "$RESULTS"
stamp=$(date +%Y%m%d-%H%M%S)
csv=$RESULTS/solve-$stamp.csv
outroot=$RESULTS/solve-out-$stamp
mkdir -p "$outroot"
echo "model,N,run,states,transitions,method,iterations,wall_s,user_s,sys_s,peak_rss_kb,read_s,classes_s,steady_s,transient_s,status" >"$csv"

fmt="%-7s %3s %4s %9s %10s %-18s %6s %7s %7s %6s %8s %7s %8s %7s %6s\n"
failures=0

# The median of the numbers given as arguments.
median() {
  printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {
    if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# A phase's seconds from the solver's "seconds:" line, or 0.
phase() {
  sed -n 's/^seconds: //p' "$2" | tr ',' '\n' | sed -n "s/^ *$1 \([0-9.]*\)$/\1/p" | head -1 | grep . || echo 0
}

for c in "${cases[@]}"; do
  model=${c%%:*}
  n=${c#*:}
  dir=$outroot/$model$n
  mkdir -p "$dir"
  echo "== $model N=$n: generating"
  experiment=$((n - 1))
  case $model in mdk | maintenance) experiment=$n ;; esac
  if ! "$BUILD_DIR/gen-$model" -P "$dir/" -N"$model$n" -B$experiment >"$dir/gen.txt" 2>&1; then
    echo "!!! $model N=$n: the generator failed: $(tail -2 "$dir/gen.txt" | tr '\n' ' ')" >&2
    failures=$((failures + 1))
    continue
  fi
  echo "   load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  printf "$fmt" model N run states trans method iters wall_s user_s sys_s peak_MB read_s classes steady trans
  walls=() users=() rsss=() reads=() classes=() steadies=()
  for ((r = 1; r <= repeat; r++)); do
    /usr/bin/time -v -o "$dir/time.txt" "$BUILD_DIR/ssg-solve" "$dir/$model$n" -q \
      --method "$method" --epsilon "$epsilon" >"$dir/solve.txt" 2>"$dir/solve-err.txt"
    status=$?
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {
             n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$dir/time.txt")
    user=$(awk -F': ' '/User time/ {print $2}' "$dir/time.txt")
    sys=$(awk -F': ' '/System time/ {print $2}' "$dir/time.txt")
    rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt")
    states=$(sed -n 's/^states \([0-9]*\), transitions \([0-9]*\).*/\1/p' "$dir/solve.txt")
    trans=$(sed -n 's/^states \([0-9]*\), transitions \([0-9]*\).*/\2/p' "$dir/solve.txt")
    used=$(sed -n 's/^steady state: method \(.*\), iterations.*/\1/p' "$dir/solve.txt")
    iters=$(sed -n 's/^steady state: .*, iterations \([0-9]*\),.*/\1/p' "$dir/solve.txt")
    rd=$(phase read "$dir/solve.txt")
    cl=$(phase "closed classes" "$dir/solve.txt")
    st=$(phase "steady state" "$dir/solve.txt")
    tr=$(phase transient "$dir/solve.txt")
    if [ $status -ne 0 ]; then
      echo "!!! $model N=$n run $r: ssg-solve exit status $status: $(head -c 300 "$dir/solve-err.txt")" >&2
      failures=$((failures + 1))
    fi
    printf "$fmt" "$model" "$n" "$r" "${states:--}" "${trans:--}" "${used:--}" "${iters:--}" \
      "$wall" "$user" "$sys" "$((rss / 1024))" "$rd" "$cl" "$st" "$tr"
    echo "$model,$n,$r,${states:-},${trans:-},\"${used:-}\",${iters:-},$wall,$user,$sys,$rss,$rd,$cl,$st,$tr,$status" >>"$csv"
    walls+=("$wall") users+=("$user") rsss+=("$rss") reads+=("$rd") classes+=("$cl") steadies+=("$st")
  done
  mwall=$(median "${walls[@]}")
  mrss=$(median "${rsss[@]}")
  echo "   median: wall $mwall s, user $(median "${users[@]}") s, peak $((${mrss%.*} / 1024)) MB;" \
    "read $(median "${reads[@]}") s, closed classes $(median "${classes[@]}") s," \
    "steady state $(median "${steadies[@]}") s"
  echo "   load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "   values:"
  sed -n '2,/^$/p' "$dir/solve.txt" | sed '/^$/d; s/^/     /'
  if [ -n "${TARGETS[$c]:-}" ] && [ "$method" = auto ] && [ "$epsilon" = 1e-10 ]; then
    read -r ts tm <<<"${TARGETS[$c]}"
    verdict=$(awk -v w="$mwall" -v m="$mrss" -v ts="$ts" -v tm="$tm" 'BEGIN {
      ok = (w <= ts && m / 1024 <= tm); printf "%s (target: at most %d s and %d MB)", ok ? "within target" : "!!! OVER TARGET", ts, tm }')
    echo "   $verdict"
  fi
  [ $keep -eq 1 ] || rm -rf "$dir"
done
[ $keep -eq 1 ] || rmdir "$outroot" 2>/dev/null
echo "CSV: $csv"
[ $failures -eq 0 ] || exit 1
