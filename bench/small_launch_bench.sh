#!/bin/sh
# A small launch through the whole chain: `kvel top -nolog` of an existing
# snapshot (its script already there, so the launch replaces it), the shipped
# program with the stand-in Tcl shell sourcing the run script, from exec to
# exit, against a bare `tclsh8.6` on an empty script. Interleaved runs,
# medians, ratio against TARGET (default 1.5).
#
#   bench/small_launch_bench.sh [BUILD_DIR] [RUNS] [TARGET]
#
# BUILD_DIR defaults to build/release (configured if missing, Release type);
# RUNS to 300. Exit status 0 when the target is met, 1 when missed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
runs=${2:-300}
target=${3:-1.5}
tclsh=$(command -v tclsh8.6) || { echo "tclsh8.6 is not installed" >&2; exit 2; }

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target kvel launch_timer -j2 >/dev/null
build=$(cd "$build" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/kvel-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/kvel.dir/top"
: >"$work/kvel.dir/top/kvelk.exe"
: >"$work/empty.tcl"
cd "$work"
"$build/kvel/kvel" top -nolog >/dev/null

echo "build: $build ($(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt"))"
echo "command:   kvel top -nolog (whole chain, existing snapshot)"
echo "reference: tclsh8.6 empty.tcl"
"$build/bench/launch_timer" "$runs" "$target" \
  "$build/kvel/kvel" top -nolog -- "$tclsh" "$work/empty.tcl"
