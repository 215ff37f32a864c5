#!/usr/bin/env bash
# Runs one program under valgrind memcheck for the memcheck tests (ctest -L
# memcheck, `make memcheck`).
#
# Usage: tests/memcheck/run.sh <log file> <program> [arguments...]
#
# The test fails when valgrind finds an error (an invalid read or write, a
# use of an uninitialised value, a bad free, ...) or a block definitely or
# indirectly lost at exit, and when the program itself ends with a status
# other than 0. Blocks still reachable at exit (the C++ runtime's pools) and
# possibly lost ones are counted in the summary line but do not fail it.
# The whole valgrind report is kept in the log file, and printed on failure.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 <log file> <program> [arguments...]" >&2
  exit 2
fi
log=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
# Status 99 tells valgrind's findings apart from the program's own statuses.
valgrind --tool=memcheck --error-exitcode=99 \
  --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect \
  --track-origins=yes --num-callers=40 \
  --suppressions="$here/valgrind.supp" \
  --log-file="$log" "$@"
status=$?

# The summary: errors, and the bytes lost by kind ("All heap blocks were
# freed" means none of any kind).
lost() {
  local bytes
  bytes=$(sed -n "s/.*$1: \([0-9,]*\) bytes in.*/\1/p" "$log" | tail -1 | tr -d ,)
  echo "${bytes:-0}"
}
errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9,]*\) errors.*/\1/p' "$log" | tail -1 | tr -d ,)
echo "memcheck: $(basename "$log" .valgrind.log): errors ${errors:-?}, definitely lost $(lost 'definitely lost') B," \
  "indirectly lost $(lost 'indirectly lost') B, possibly lost $(lost 'possibly lost') B," \
  "still reachable $(lost 'still reachable') B, exit status $status"
if [ "$status" -ne 0 ] || [ "${errors:-1}" != 0 ]; then
  echo "---- valgrind report ($log):"
  cat "$log"
  [ "$status" -ne 0 ] || status=1
fi
exit "$status"
