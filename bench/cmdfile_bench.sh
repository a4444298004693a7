#!/bin/sh
# Command-file speed and memory, through the launch and through the whole
# chain. For command files of 10,000, 100,000 and 1,000,000 arguments
# (bench/gen_cmdfile.py) it measures, side by side and interleaved, the
# median of RUNS runs of:
#   wc -w FILE                          (LC_ALL=C.UTF-8), the reference
#   cmdfile_driver parse FILE           expansion and parse up to the hand-over
#   cmdfile_driver expand FILE          expansion only
#   kvel_double top -f FILE             a whole launch (the double's shell returns at once)
#   kvel_double top                     the same launch without the file
#   kvel top -nolog -f FILE             the whole chain: the launch, then the stand-in
#                                       Tcl shell sourcing the run script
# and prints ratios to wc -w, the cost per argument, and the peak memory of
# each measured process alone (its maximum resident set from wait4, taken by
# /usr/bin/time or a small wrapper built here, never by this script's own
# interpreter, whose resident set a child would inherit at the fork).
#
#   bench/cmdfile_bench.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR defaults to build/release (configured with `cmake --preset
# default` when missing); RUNS to 7 (at least 5). Targets at 1,000,000
# arguments: kvel_double top -f FILE at most 2.8 x wc -w, its cost per
# argument within 30% of that at 100,000; the whole chain at most 6.5 x wc -w
# and its peak memory at most 10.5 x the file. Exit status 1 when one is missed.
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
cmake --build "$build" --target cmdfile_driver kvel_double kvel -j2 >/dev/null
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
double = os.path.join(build, "kvel", "kvel_double")
kvel = os.path.join(build, "kvel", "kvel")
wc_env = dict(os.environ, LC_ALL="C.UTF-8")

def measure(argv, env=None):
    """Wall seconds and peak resident kilobytes of one run."""
    start = time.perf_counter()
    status = subprocess.run(peak + ["peak.out"] + argv, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                            env=env).returncode
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit("failed (%d): %s" % (status, " ".join(argv)))
    with open("peak.out") as result:
        return elapsed, int(result.read().split()[-1])

commands = {
    "wc": lambda f: (["wc", "-w", f], wc_env),
    "parse": lambda f: ([driver, "parse", f], None),
    "expand": lambda f: ([driver, "expand", f], None),
    "launch": lambda f: ([double, "top", "-f", f], None),
    "bare": lambda f: ([double, "top"], None),
    "chain": lambda f: ([kvel, "top", "-nolog", "-f", f], None),
}
missed = []
per_argument = {}
print("%8s %7s %7s | %8s %6s %8s | %8s %8s %6s %7s | %8s %6s %8s %6s" % (
    "args", "file MB", "wc ms", "parse ms", "x wc", "peak MB",
    "launch", "launch+", "x wc", "ns/arg", "chain ms", "x wc", "peak MB", "x file"))
for n in (10000, 100000, 1000000):
    name = "args_%d.txt" % n
    size = os.path.getsize(name)
    samples = {key: [] for key in commands}
    for _ in range(runs):
        for key, build_argv in commands.items():
            argv, env = build_argv(name)
            samples[key].append(measure(argv, env))
    med = {key: statistics.median(t for t, _ in s) for key, s in samples.items()}
    peak_kb = {key: max(m for _, m in s) for key, s in samples.items()}
    added = med["launch"] - med["bare"]
    per_argument[n] = added / n
    launch_ratio = med["launch"] / med["wc"]
    chain_ratio = med["chain"] / med["wc"]
    chain_peak = peak_kb["chain"] * 1024
    print("%8d %7.1f %7.1f | %8.1f %6.2f %8.1f | %5.0f ms %5.1f ms %6.2f %7.0f | %8.0f %6.2f %8.1f %6.2f" % (
        n, size / 1e6, med["wc"] * 1e3, med["parse"] * 1e3, med["parse"] / med["wc"],
        peak_kb["parse"] * 1024 / 1e6, med["launch"] * 1e3, added * 1e3, launch_ratio,
        per_argument[n] * 1e9, med["chain"] * 1e3, chain_ratio, chain_peak / 1e6,
        chain_peak / size))
    print("%8s expansion only %.1f ms, peak %.1f MB; launch peak %.1f MB (%.2f x file)" % (
        "", med["expand"] * 1e3, peak_kb["expand"] * 1024 / 1e6,
        peak_kb["launch"] * 1024 / 1e6, peak_kb["launch"] * 1024 / size))
    if n == 1000000:
        if launch_ratio > 2.8:
            missed.append("kvel_double top -f FILE at 1M is %.2f x wc -w (target <= 2.8)" % launch_ratio)
        if chain_ratio > 6.5:
            missed.append("the whole chain at 1M is %.2f x wc -w (target <= 6.5)" % chain_ratio)
        if chain_peak > 10.5 * size:
            missed.append("the whole chain's peak at 1M is %.2f x the file (target <= 10.5)" % (
                chain_peak / size))
growth = per_argument[1000000] / per_argument[100000]
print("cost per argument of the launch at 1M / at 100k: %.2f (target within 1.30)" % growth)
if growth > 1.3:
    missed.append("cost per argument grows %.0f%% from 100k to 1M" % ((growth - 1) * 100))
print("columns: parse = cmdfile_driver parse (expansion and parse up to the hand-over);")
print("  launch = kvel_double top -f FILE; launch+ = launch minus kvel_double top (ns/arg from it);")
print("  chain = kvel top -nolog -f FILE through the stand-in shell; peak = largest resident set")
print("  of the process alone over the runs")
for line in missed:
    print("MISSED: " + line)
sys.exit(1 if missed else 0)
PYTHON
