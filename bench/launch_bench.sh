#!/bin/sh
# Launch time of kvel: `kvel_double top` (the double's shell returns at once)
# from exec to exit, against a trivial program linked against the same shared
# libraries. Interleaved runs, medians, ratio against TARGET (default 1.2).
#
#   bench/launch_bench.sh [BUILD_DIR] [RUNS] [TARGET]
#
# BUILD_DIR defaults to build/release (configured if missing, Release type);
# RUNS to 500. Exit status 0 when the target is met, 1 when missed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
runs=${2:-500}
target=${3:-1.2}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target kvel_double launch_baseline launch_timer -j2 >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/kvel-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/kvel.dir/top"
: >"$work/kvel.dir/top/kvelk.exe"
cd "$work"
unset ZEKDOUBLE_RECORD ZEKDOUBLE_STATUS ZEKDOUBLE_THROW ZEKDOUBLE_EVENT ZEKDOUBLE_FAIL ZEKDOUBLE_FAULT || true

echo "build: $build ($(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt"))"
echo "command:   kvel_double top"
echo "reference: launch_baseline"
"$build/bench/launch_timer" "$runs" "$target" \
  "$build/kvel/kvel_double" top -- "$build/bench/launch_baseline"
