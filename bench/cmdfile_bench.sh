#!/bin/sh
# Command-file expansion speed and memory. For command files of 10,000,
# 100,000 and 1,000,000 arguments (bench/gen_cmdfile.py) it measures, side by
# side and interleaved, the median of RUNS runs of:
#   wc -w FILE                          (LC_ALL=C.UTF-8), the reference
#   cmdfile_driver parse FILE           expansion and parse up to the hand-over
#   cmdfile_driver expand FILE          expansion only
#   kvel_double top -f FILE             a whole launch (the double's shell returns at once)
#   kvel_double top                     the same launch without the file
# and prints arguments per second, the ratio to wc -w, the cost per argument,
# and peak memory (maximum resident set of the child, from wait4).
#
#   bench/cmdfile_bench.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR defaults to build/release (configured with `cmake --preset
# default` when missing); RUNS to 7 (at least 5). Targets: parse <= 3x wc -w
# at 1M, peak < 3x file size, 10k arguments add < 5 ms to a launch, cost per
# argument at 1M within 20% of that at 100k. Exit status 1 when one is missed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
runs=${2:-7}
[ "$runs" -ge 5 ] || runs=5

if [ ! -f "$build/CMakeCache.txt" ]; then
  if [ "$build" = "$root/build/release" ]; then
    (cd "$root" && cmake --preset default >/dev/null)
  else
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
fi
cmake --build "$build" --target cmdfile_driver kvel_double -j2 >/dev/null
# Absolute: the runs happen in the workspace.
build=$(cd "$build" && pwd)

. "$root/bench/workspace.sh"
make_workspace kvel-cmdfile-bench
# Peak memory comes from /usr/bin/time, or else from a tiny wait4 wrapper
# built here; either way the measuring process itself is small (a child's
# peak resident set includes its parent's at the fork).
if [ -x /usr/bin/time ]; then
  peak="/usr/bin/time -f %M -o"
else
  cat >"$work/peak.c" <<'C'
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
int main(int argc, char** argv) {
  if (argc < 3) return 2;
  pid_t pid = fork();
  if (pid == 0) { execvp(argv[2], argv + 2); _exit(127); }
  int status = 0;
  struct rusage usage;
  if (pid < 0 || wait4(pid, &status, 0, &usage) < 0) return 2;
  FILE* out = fopen(argv[1], "w");
  if (out) { fprintf(out, "%ld\n", usage.ru_maxrss); fclose(out); }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
C
  ${CC:-cc} -O2 -o "$work/peak" "$work/peak.c"
  peak="$work/peak"
fi
unset ZEKDOUBLE_RECORD ZEKDOUBLE_STATUS ZEKDOUBLE_THROW ZEKDOUBLE_EVENT ZEKDOUBLE_FAIL ZEKDOUBLE_FAULT || true

echo "build: $build ($(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")), $runs runs each, medians"
cd "$work"
exec python3 - "$build" "$runs" "$peak" <<'PYTHON'
import os, statistics, subprocess, sys, time

build, runs, peak = sys.argv[1], int(sys.argv[2]), sys.argv[3].split()
driver = os.path.join(build, "bench", "cmdfile_driver")
kvel = os.path.join(build, "kvel", "kvel_double")
wc_env = dict(os.environ, LC_ALL="C.UTF-8")

def measure(argv, env=None):
    """Wall seconds and peak resident kilobytes of one run."""
    start = time.perf_counter()
    status = subprocess.run(peak + ["peak.out"] + argv, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, env=env).returncode
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit("failed (%d): %s" % (status, " ".join(argv)))
    with open("peak.out") as result:
        return elapsed, int(result.read().split()[-1])

commands = {
    "wc": lambda f: (["wc", "-w", f], wc_env),
    "parse": lambda f: ([driver, "parse", f], None),
    "expand": lambda f: ([driver, "expand", f], None),
    "launch": lambda f: ([kvel, "top", "-f", f], None),
    "bare": lambda f: ([kvel, "top"], None),
}
missed = []
per_argument = {}
peaks = {}
print("%8s %7s %7s %8s %9s %6s %7s %8s %6s %8s %8s %6s %8s" % (
    "args", "file MB", "wc ms", "parse ms", "args/s", "x wc", "ns/arg", "peak MB", "x file",
    "expand", "launch", "x wc", "launch+"))
for n in (10000, 100000, 1000000):
    name = "args_%d.txt" % n
    size = os.path.getsize(name)
    samples = {key: [] for key in commands}
    for _ in range(runs):
        for key, build_argv in commands.items():
            argv, env = build_argv(name)
            samples[key].append(measure(argv, env))
    med = {key: statistics.median(t for t, _ in s) for key, s in samples.items()}
    peak_parse = max(m for _, m in samples["parse"]) * 1024
    peak_expand = max(m for _, m in samples["expand"]) * 1024
    peak_launch = max(m for _, m in samples["launch"]) * 1024
    added = med["launch"] - med["bare"]
    per_argument[n] = med["parse"] / n
    ratio = med["parse"] / med["wc"]
    print("%8d %7.1f %7.1f %8.1f %9.0f %6.2f %7.0f %8.1f %6.2f %5.1f ms %5.0f ms %6.2f %5.1f ms" % (
        n, size / 1e6, med["wc"] * 1e3, med["parse"] * 1e3, n / med["parse"], ratio,
        per_argument[n] * 1e9, peak_parse / 1e6, peak_parse / size, med["expand"] * 1e3,
        med["launch"] * 1e3, med["launch"] / med["wc"], added * 1e3))
    peaks[n] = (size, peak_expand, peak_launch)
    if n == 10000 and added > 0.005:
        missed.append("10k arguments add %.1f ms to a launch (target < 5 ms)" % (added * 1e3))
    if n == 1000000:
        if ratio > 3.0:
            missed.append("parse at 1M is %.2f x wc -w (target <= 3)" % ratio)
        if peak_parse >= 3 * size:
            missed.append("peak memory at 1M is %.2f x the file (target < 3)" % (peak_parse / size))
for n, (size, peak_expand, peak_launch) in peaks.items():
    print("peak at %d: expansion only %.1f MB (%.2f x file), whole launch %.1f MB (%.2f x file)" % (
        n, peak_expand / 1e6, peak_expand / size, peak_launch / 1e6, peak_launch / size))
growth = per_argument[1000000] / per_argument[100000]
print("cost per argument at 1M / at 100k: %.2f (target within 1.20)" % growth)
if growth > 1.2:
    missed.append("cost per argument grows %.0f%% from 100k to 1M" % ((growth - 1) * 100))
print("columns: parse = cmdfile_driver parse (expansion and parse up to the hand-over);")
print("  expand = expansion only; launch = kvel_double top -f FILE (whole launch);")
print("  launch+ = launch minus kvel_double top; peak = largest resident set of the parse runs")
for line in missed:
    print("MISSED: " + line)
sys.exit(1 if missed else 0)
PYTHON
