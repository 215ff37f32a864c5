#!/usr/bin/env bash
# Mutation run: applies single-line faults to a scratch copy of the tree, one
# at a time, rebuilds incrementally, runs the tests that cover the mutated
# folder, and reports for each fault whether a test noticed it.
#
# Usage: tests/mutants/run.sh [-j N] [-t SECONDS] [-o IDS] [LIST]
#   LIST          the mutant list (default tests/mutants/mutants.txt)
#   -j N          build jobs (default 2)
#   -t SECONDS    time limit of one test executable's run (default 300)
#   -o IDS        only these mutants, by number, comma-separated (e.g. 3,7)
# Environment: SSG_MUTANTS_DIR, the scratch directory (default
# build/mutants under the tree). It keeps its copy and build between runs,
# so a second run rebuilds only what changed.
#
# The list file: one mutant per line, four or five fields separated by " @@ ":
#   file @@ original text @@ replacement @@ what the fault is [@@ tests]
# The original text must occur exactly once in the file, on one line; that
# occurrence is replaced. The optional fifth field names the test
# executables to run (space-separated, e.g. "test_solver test_study");
# otherwise they follow from the file's folder. Lines starting with '#' and
# blank lines are ignored.
#
# Per mutant: "killed" (a test failed or timed out), "survived" (every test
# passed), "build-failed" (the mutant does not compile; not counted in the
# kill rate) or "invalid" (the original text was not found exactly once).
# Exit status: 0 when the run completed (survivors are a finding, not an
# error), 1 when the unmutated tree fails to build or to pass its tests.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
jobs=2
limit=300
only=
while getopts "j:t:o:h" opt; do
  case $opt in
  j) jobs=$OPTARG ;;
  t) limit=$OPTARG ;;
  o) only=",$OPTARG," ;;
  *)
    sed -n '2,28p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
  esac
done
shift $((OPTIND - 1))
list=${1:-$root/tests/mutants/mutants.txt}
[ -f "$list" ] || {
  echo "run.sh: no mutant list at $list" >&2
  exit 2
}
list=$(cd "$(dirname "$list")" && pwd)/$(basename "$list")

scratch=${SSG_MUTANTS_DIR:-$root/build/mutants}
src=$scratch/src
build=$scratch/build
logs=$scratch/logs
mkdir -p "$src" "$build" "$logs"

# The tests that cover each folder.
scope_of() {
  case $1 in
  solver/*) echo "test_solver" ;;
  lang/*) echo "test_lang" ;;
  study/*) echo "test_study" ;;
  database/*) echo "test_database test_solver test_study" ;;
  *) echo "test_ssg test_models test_driver test_reward test_model test_example test_trace" ;;
  esac
}

# Copy the tree's files (as they are in the working tree) into the scratch
# copy, touching only those that differ, so the build stays incremental.
echo "== copying the tree to $src" >&2
(cd "$root" && git ls-files) | while IFS= read -r f; do
  [ -f "$root/$f" ] || continue
  if ! cmp -s "$root/$f" "$src/$f"; then
    mkdir -p "$(dirname "$src/$f")"
    cp "$root/$f" "$src/$f"
  fi
done

if [ ! -f "$build/CMakeCache.txt" ]; then
  # A plain optimised build without sanitizers or debug information: the
  # mutants are about wrong results, and this builds and links fastest.
  cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O1 \
    -DSSG_TESTS=ON -DSSG_SANITIZE=OFF >"$logs/configure.log" 2>&1 || {
    echo "run.sh: configure failed, see $logs/configure.log" >&2
    exit 1
  }
fi

# build TARGETS... -> status of the build
build_targets() {
  cmake --build "$build" -j "$jobs" --target "$@"
}

# run_tests TARGETS... -> 0 when every test passed (but those excluded)
excluded=
run_tests() {
  local t
  for t in "$@"; do
    (cd "$build/tests" && timeout "$limit" "./$t" --gtest_fail_fast --gtest_brief=1 \
      ${excluded:+"--gtest_filter=-$excluded"}) || return 1
  done
}

# Read the list into arrays.
files=() origs=() repls=() notes=() scopes=()
while IFS= read -r line || [ -n "$line" ]; do
  case $line in '' | '#'*) continue ;; esac
  IFS=$'\x1f' read -r -a fields <<<"${line// @@ /$'\x1f'}"
  if [ ${#fields[@]} -lt 4 ]; then
    echo "run.sh: malformed line in $list: $line" >&2
    exit 2
  fi
  files+=("${fields[0]}")
  origs+=("${fields[1]}")
  repls+=("${fields[2]}")
  notes+=("${fields[3]}")
  scopes+=("${fields[4]:-$(scope_of "${fields[0]}")}")
done <"$list"
count=${#files[@]}

# The unmutated tree must build and pass every scope that will be used.
all_scopes=$(printf '%s\n' "${scopes[@]}" | tr ' ' '\n' | sort -u | tr '\n' ' ')
echo "== baseline: building and testing $all_scopes" >&2
# shellcheck disable=SC2086
if ! build_targets $all_scopes >"$logs/baseline-build.log" 2>&1; then
  echo "run.sh: the unmutated tree does not build, see $logs/baseline-build.log" >&2
  exit 1
fi
# A test that fails on the unmutated tree (in this plain build) would
# "kill" every mutant: it is reported and left out.
: >"$logs/baseline-test.log"
for t in $all_scopes; do
  if ! (cd "$build/tests" && timeout "$limit" "./$t" --gtest_brief=1) >>"$logs/baseline-test.log" 2>&1; then
    failing=$(sed -n 's/^\[  FAILED  \] \([A-Za-z0-9_/]*\.[A-Za-z0-9_/.]*\).*/\1/p' "$logs/baseline-test.log" | sort -u)
    if [ -z "$failing" ]; then
      echo "run.sh: $t fails on the unmutated tree, see $logs/baseline-test.log" >&2
      exit 1
    fi
  fi
done
excluded=$(sed -n 's/^\[  FAILED  \] \([A-Za-z0-9_/]*\.[A-Za-z0-9_/.]*\).*/\1/p' "$logs/baseline-test.log" | sort -u | paste -sd:)
if [ -n "$excluded" ]; then
  echo "== failing on the unmutated tree, left out: $excluded" | tee "$scratch/report.txt" >&2
fi

# Replace the single occurrence of $2 by $3 in file $1 (prints the line
# number), or fail when it does not occur exactly once.
mutate() {
  python3 - "$1" "$2" "$3" <<'PY'
import sys
path, orig, repl = sys.argv[1:4]
with open(path, encoding="utf-8") as f:
    lines = f.read().split("\n")
hits = [i for i, l in enumerate(lines) if orig in l]
if len(hits) != 1 or lines[hits[0]].count(orig) != 1:
    sys.exit(1)
lines[hits[0]] = lines[hits[0]].replace(orig, repl)
with open(path, "w", encoding="utf-8") as f:
    f.write("\n".join(lines))
print(hits[0] + 1)
PY
}

killed=0 survived=0 failed=0 invalid=0 tested=0
survivors=()
report=$scratch/report.txt
[ -n "$excluded" ] || : >"$report"
for ((i = 0; i < count; i++)); do
  n=$((i + 1))
  [ -z "$only" ] || [[ $only == *",$n,"* ]] || continue
  f=${files[i]}
  log=$logs/mutant-$n.log
  cp "$src/$f" "$scratch/original"
  start=$SECONDS
  if ! lineno=$(mutate "$src/$f" "${origs[i]}" "${repls[i]}"); then
    result=invalid
    invalid=$((invalid + 1))
  else
    # shellcheck disable=SC2086
    if ! build_targets ${scopes[i]} >"$log" 2>&1; then
      result=build-failed
      failed=$((failed + 1))
    # shellcheck disable=SC2086
    elif run_tests ${scopes[i]} >>"$log" 2>&1; then
      result=survived
      survived=$((survived + 1))
      survivors+=("$n $f:$lineno  ${notes[i]}")
    else
      result=killed
      killed=$((killed + 1))
    fi
    tested=$((tested + 1))
  fi
  # Restore the file with a new time stamp, so the next build recompiles it.
  cp "$scratch/original" "$src/$f"
  touch "$src/$f"
  line=$(printf '%3d %-12s %4ds  %s:%s  %s' "$n" "$result" $((SECONDS - start)) "$f" "${lineno:-?}" "${notes[i]}")
  echo "$line" | tee -a "$report"
  lineno=
done

counted=$((killed + survived))
{
  echo
  echo "killed $killed, survived $survived, build-failed $failed, invalid $invalid"
  if [ $counted -gt 0 ]; then
    echo "kill rate: $killed/$counted = $((100 * killed / counted))%"
  fi
  if [ ${#survivors[@]} -gt 0 ]; then
    echo "survivors:"
    printf '  %s\n' "${survivors[@]}"
  fi
} | tee -a "$report"
# Leave the scratch build matching the unmutated tree for the next run.
exit 0
