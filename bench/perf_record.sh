#!/bin/sh
# The performance record: builds the default preset and measures, in one run,
#   1. launch overhead: kvel_double to the hand-over against a trivial program
#      linked to the same shared libraries (bench/launch_bench.sh), target 1.2;
#   2. command files of 10,000, 100,000 and 1,000,000 arguments through the
#      launch up to the hand-over (kvel_double) and through the whole chain
#      (kvel with the stand-in Tcl shell), side by side with wc -w, with the
#      minor page faults and peak memory of each process alone, and with
#      OLD_BUILD the previous code's launch and chain in the same run
#      (bench/cmdfile_bench.sh); targets at 1,000,000 arguments: the launch
#      at most 3.0 x wc -w, 7,000 minor page faults and 2.5 x the file in
#      memory, the whole chain at most 10 x wc -w and 7.0 x the file;
#   3. a small launch through the whole chain (kvel top -nolog, existing
#      snapshot) against a bare tclsh8.6 on an empty script
#      (bench/small_launch_bench.sh), target 1.5.
# It first says what the figures depend on: the machine's cost of fresh
# memory (a touch of 85 MB, timed, plain and advised for huge pages) and its
# transparent huge page mode.
# Every figure is a median of interleaved runs (RUNS, default 7, at least 5;
# the launch overhead takes 100 times as many).
#
#   bench/perf_record.sh [RUNS] [OLD_BUILD]
#
# Exit status 1 when a target is missed (the sections print "MISSED" lines).
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
[ "$runs" -ge 5 ] || runs=5
old=${2:-}
build=$root/build/release

(cd "$root" && cmake --preset default >/dev/null) || exit 2
cmake --build "$build" --target kvel kvel_double cmdfile_driver launch_baseline launch_timer \
  -j2 >/dev/null || exit 2

status=0
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
thp=/sys/kernel/mm/transparent_hugepage/enabled
echo "transparent huge pages: $(cat "$thp" 2>/dev/null || echo "not available")"
"$build/bench/launch_timer" --fault-cost 85
echo "== launch overhead (median of $((runs * 100)) interleaved runs)"
"$root/bench/launch_bench.sh" "$build" $((runs * 100)) 1.2 || status=1
echo
echo "== command files: launch (kvel_double) and whole chain (kvel, stand-in shell)"
"$root/bench/cmdfile_bench.sh" "$build" "$runs" $old || status=1
echo
echo "== small launch, whole chain, against tclsh8.6 (median of $((runs * 40)) interleaved runs)"
"$root/bench/small_launch_bench.sh" "$build" $((runs * 40)) 1.5 || status=1
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
