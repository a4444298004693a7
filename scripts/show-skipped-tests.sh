#!/bin/sh
# Prints the test cases the last test run skipped, each with the reason it
# gave, from CTest's log of that run. The Windows build runs each test
# program whole, so CTest's own summary does not name them.
#
#   scripts/show-skipped-tests.sh [BUILD_DIR]     (default build/windows)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/windows}
log=$dir/Testing/Temporary/LastTest.log
if [ ! -f "$log" ]; then
  echo "show-skipped-tests: no test log in $dir" >&2
  exit 1
fi
# GoogleTest writes "file:line: Skipped", the reason, then "[  SKIPPED ] Name (N ms)".
# A program run once per code page skips the same cases again: each is named
# once. Windows programs end their lines with CR LF.
awk '
  { sub(/\r$/, "") }
  /^\[ RUN      \] / { reason = ""; inreason = 0; next }
  /: Skipped$/ { inreason = 1; next }
  /^\[  SKIPPED \] .* \([0-9]+ ms\)$/ {
    name = $4
    line = name ": " reason
    if (!(line in seen)) { seen[line] = 1; print line; count++ }
    inreason = 0
    next
  }
  inreason { reason = reason (reason == "" ? "" : " ") $0 }
  END { if (count == 0) print "No test case was skipped." }
' "$log"
