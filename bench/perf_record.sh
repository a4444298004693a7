#!/bin/sh
# The performance record: builds the release preset and measures, in one run,
#   1. launch overhead: kvel_double to the hand-over against a trivial program
#      linked to the same shared libraries (bench/launch_bench.sh);
#   2. command files of 10,000, 100,000 and 1,000,000 arguments through the
#      whole launch up to the hand-over with kvel_double, against wc -w, with
#      peak memory (bench/cmdfile_bench.sh);
#   3. the same launches through the stand-in shell (kvel): starting Tcl and
#      sourcing the large run script.
# Every figure is a median of RUNS interleaved runs (default 7, at least 5).
#
#   bench/perf_record.sh [RUNS]
#
# Exit status 1 when a target is missed (the sections print "MISSED:" lines).
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
[ "$runs" -ge 5 ] || runs=5
build=$root/build/release

(cd "$root" && cmake --preset default >/dev/null) || exit 2
cmake --build "$build" --target kvel kvel_double cmdfile_driver launch_baseline launch_timer \
  -j2 >/dev/null || exit 2

status=0
echo "== launch overhead (median of $((runs * 100)) interleaved runs)"
"$root/bench/launch_bench.sh" "$build" $((runs * 100)) || status=1
echo
echo "== command files through kvel_double (test double's shell)"
"$root/bench/cmdfile_bench.sh" "$build" "$runs" || status=1
echo
echo "== command files through kvel (stand-in Tcl shell sourcing the run script)"
. "$root/bench/workspace.sh"
make_workspace kvel-perf
cd "$work" || exit 2
python3 - "$build" "$runs" <<'PYTHON' || status=1
import os, resource, statistics, subprocess, sys, time

build, runs = sys.argv[1], int(sys.argv[2])
kvel = os.path.join(build, "kvel", "kvel")
double = os.path.join(build, "kvel", "kvel_double")
wc_env = dict(os.environ, LC_ALL="C.UTF-8")

def measure(argv, env=None):
    """Wall seconds and peak resident kilobytes of one child (wait4)."""
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             stdin=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: " + " ".join(argv))
    return elapsed, usage.ru_maxrss

print("%8s %7s %7s %9s %9s %6s %8s %6s %9s %6s" % (
    "args", "file MB", "wc ms", "double ms", "kvel ms", "x wc", "args/s", "", "peak MB", "x file"))
for n in (10000, 100000, 1000000):
    name = "args_%d.txt" % n
    size = os.path.getsize(name)
    samples = {"wc": [], "double": [], "kvel": []}
    for _ in range(runs):
        samples["wc"].append(measure(["wc", "-w", name], wc_env))
        samples["double"].append(measure([double, "top", "-nolog", "-f", name]))
        samples["kvel"].append(measure([kvel, "top", "-nolog", "-f", name]))
    med = {k: statistics.median(t for t, _ in v) for k, v in samples.items()}
    peak = max(m for _, m in samples["kvel"]) * 1024
    print("%8d %7.1f %7.1f %9.1f %9.1f %6.2f %8.0f %6s %9.1f %6.2f" % (
        n, size / 1e6, med["wc"] * 1e3, med["double"] * 1e3, med["kvel"] * 1e3,
        med["kvel"] / med["wc"], n / med["kvel"], "", peak / 1e6, peak / size))
print("columns: double = kvel_double top -nolog -f FILE; kvel = the same with the stand-in")
print("  shell (Tcl start, sourcing the script, the simulator stand-in's output line);")
print("  x wc, args/s and peak are the kvel column's")
PYTHON
exit $status
