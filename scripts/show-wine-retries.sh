#!/bin/sh
# Prints the programs that Wine failed to start at the first try during the
# Windows test run (cmake/run-with-wine.sh names the file; the tests' process
# runner tries such a start once more and notes it there), and the test
# programs that failed without writing anything.
#
#   scripts/show-wine-retries.sh [BUILD_DIR]     (default build/windows)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/windows}
log=$dir/wine-start-retries.log
if [ -s "$log" ]; then
  echo "Programs Wine started only at the second try:"
  cat "$log"
else
  echo "Every program of the Windows test run started at the first try."
fi
# Test programs that failed without reaching their main (cmake/run-with-wine.sh).
if [ -s "$dir/wine-silent-ends.log" ]; then
  echo "Test programs that failed without writing anything:"
  cat "$dir/wine-silent-ends.log"
fi
