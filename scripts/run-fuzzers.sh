#!/bin/sh
# Configures and builds the `fuzz` preset, then runs each fuzz target for a
# bounded time from its seed corpus (tests/fuzz/corpus/<target>). Fails on
# any crash, leak, sanitizer report or input slower than one second; the
# failing input is left in build/fuzz/artifacts/.
#
#   scripts/run-fuzzers.sh [RUNS] [SECONDS]     (defaults 200000 and 60)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

runs=${1:-200000}
seconds=${2:-60}
targets="fuzz_command_line fuzz_command_files fuzz_parse"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

# Absolute: the targets change their current directory.
build=$root/build/fuzz
mkdir -p "$build/artifacts"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for target in $targets; do
  # New inputs go to a scratch corpus; the seeds in the tree stay as they are.
  scratch="$build/corpus/$target"
  rm -rf "$scratch"
  mkdir -p "$scratch"
  echo "== $target"
  if ! "$build/tests/fuzz/$target" -runs="$runs" -max_total_time="$seconds" -timeout=1 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$scratch" "$root/tests/fuzz/corpus/$target" >"$build/$target.log" 2>&1; then
    tail -n 60 "$build/$target.log"
    echo "FAILED: $target (log: $build/$target.log)"
    exit 1
  fi
  # The closing lines: executions done, coverage and features reached.
  grep -E '^(#[0-9]+[[:space:]]+DONE|Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss_mb)' \
    "$build/$target.log" || tail -n 5 "$build/$target.log"
done
echo "fuzzing: 3 targets, no findings"
