#!/usr/bin/env bash
# Static checks over our own code: clang-tidy (checks in .clang-tidy) and
# cppcheck. Generated model code (example/, build/), the benchmarks and
# third-party headers are not checked. Any finding fails the run (exit 1);
# a finding is fixed, or suppressed on its line with the reason
# (NOLINT(check): why / cppcheck-suppress id ; why).
#
# Usage: scripts/lint.sh   (JOBS=N sets the parallel clang-tidy runs)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}
build=build/lint

# Only the compilation database is needed: configure, do not build.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DSSG_TESTS=ON >"$build.configure.log" 2>&1 || {
  echo "lint: cmake configure failed, see $build.configure.log" >&2
  exit 1
}

# Our sources: the framework, the generator and its programs, and the tests.
folders='model|state|distributions|ssg|database|reward|trace|driver|solver|lang|study|tests'
python3 - "$root" "$build/compile_commands.json" "$build/ours.json" "$folders" <<'PY'
import json, re, sys
root, full, ours, folders = sys.argv[1:5]
pattern = re.compile(re.escape(root) + r"/(" + folders + r")/")
# driver/main.cpp is compiled once per model executable: keep one entry
# per file, so that each is checked once.
entries = {e["file"]: e for e in json.load(open(full)) if pattern.match(e["file"])}
json.dump(list(entries.values()), open(ours, "w"), indent=1)
PY
mkdir -p "$build/ours"
cp "$build/ours.json" "$build/ours/compile_commands.json"
mapfile -t files < <(python3 -c 'import json,sys; [print(e["file"]) for e in json.load(open(sys.argv[1]))]' "$build/ours.json")

status=0
echo "== clang-tidy (${#files[@]} files)" >&2
# One log per file, so that parallel runs do not interleave their lines.
rm -rf "$build/tidy" && mkdir -p "$build/tidy"
if ! printf '%s\0' "${files[@]}" |
  xargs -0 -n 1 -P "$jobs" sh -c \
    'clang-tidy-14 -p "$1" --quiet --use-color=false "$3" >"$2/$(echo "$3" | tr / _).log" 2>&1' \
    tidy "$build/ours" "$build/tidy"; then
  status=1
fi
cat "$build/tidy"/*.log >"$build/clang-tidy.log"
# A header's finding is reported once per file that includes it.
if grep -E ': (warning|error): ' "$build/clang-tidy.log" | sort -u; then
  status=1
elif [ $status -ne 0 ]; then
  cat "$build/clang-tidy.log" >&2
fi

echo "== cppcheck" >&2
# Two runs. The code: every category but two, suppressed for a reason:
# useStlAlgorithm, since a raw loop is our style where it reads as plainly
# as an algorithm call (and in the inner loops it is what allocates
# nothing); constParameter, since the framework's signatures (lists,
# groups, distributions) are the interface generated model code is
# written against. The tests: without the style category, since tests
# deliberately write values that the code under test reads through a
# pointer, or must not see (a copy's source changed after the copy), which
# the style checks take for unread variables.
python3 - "$build/ours.json" "$build/code.json" "$build/tests.json" <<'PY'
import json, sys
entries = json.load(open(sys.argv[1]))
json.dump([e for e in entries if "/tests/" not in e["file"]], open(sys.argv[2], "w"))
json.dump([e for e in entries if "/tests/" in e["file"]], open(sys.argv[3], "w"))
PY
: >"$build/cppcheck.log"
for part in code tests; do
  categories=warning,performance,portability
  [ $part = code ] && categories=$categories,style
  if ! cppcheck --project="$build/$part.json" -j "$jobs" --std=c++20 --quiet --inline-suppr \
    --library=googletest --enable=$categories --suppress=missingIncludeSystem \
    --suppress=useStlAlgorithm --suppress=constParameter --error-exitcode=1 \
    --template='{file}:{line}:{column}: {severity}: {message} [{id}]' 2>>"$build/cppcheck.log"; then
    status=1
  fi
done
cat "$build/cppcheck.log"
[ -s "$build/cppcheck.log" ] && status=1

if [ $status -eq 0 ]; then
  echo "lint: no findings" >&2
else
  echo "lint: findings above (clang-tidy log $build/clang-tidy.log)" >&2
fi
exit $status
