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
# and, with OLD_BUILD, the launch and the whole chain of that build too (the
# previous code, side by side in the same run). It prints ratios to wc -w,
# the cost per argument, the minor page faults and the peak memory of each
# measured process alone (from wait4, through launch_timer --once).
#
#   bench/cmdfile_bench.sh [BUILD_DIR] [RUNS] [OLD_BUILD]
#
# BUILD_DIR defaults to build/release (configured with `cmake --preset
# default` when missing); RUNS to 7 (at least 5). Targets at 1,000,000
# arguments: kvel_double top -f FILE at most 3.0 x wc -w, at most 7,000 minor
# page faults and a peak of at most 2.5 x the file, its cost per argument
# within 30% of that at 100,000; the whole chain at most 10 x wc -w and a
# peak of at most 7.0 x the file. Exit status 1 when one is missed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
runs=${2:-7}
[ "$runs" -ge 5 ] || runs=5
old=${3:-}

if [ ! -f "$build/CMakeCache.txt" ]; then
  if [ "$build" = "$root/build/release" ]; then
    (cd "$root" && cmake --preset default >/dev/null)
  else
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
fi
cmake --build "$build" --target cmdfile_driver kvel_double kvel launch_timer -j2 >/dev/null
# Absolute: the runs happen in the workspace.
build=$(cd "$build" && pwd)
[ -z "$old" ] || old=$(cd "$old" && pwd)

. "$root/bench/workspace.sh"
make_workspace kvel-cmdfile-bench
unset ZEKDOUBLE_RECORD ZEKDOUBLE_STATUS ZEKDOUBLE_THROW ZEKDOUBLE_EVENT ZEKDOUBLE_FAIL ZEKDOUBLE_FAULT || true

echo "build: $build ($(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")), $runs runs each, medians"
cd "$work"
exec python3 - "$build" "$runs" "$old" <<'PYTHON'
import os, statistics, subprocess, sys, time

build, runs, old = sys.argv[1], int(sys.argv[2]), sys.argv[3]
timer = os.path.join(build, "bench", "launch_timer")
driver = os.path.join(build, "bench", "cmdfile_driver")
double = os.path.join(build, "kvel", "kvel_double")
kvel = os.path.join(build, "kvel", "kvel")
wc_env = dict(os.environ, LC_ALL="C.UTF-8")

def measure(argv, env=None):
    """Wall seconds, peak resident kilobytes and minor page faults of one run."""
    result = subprocess.run([timer, "--once"] + argv, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, env=env)
    if result.returncode != 0:
        sys.exit("failed (%d): %s" % (result.returncode, " ".join(argv)))
    seconds, peak_kb, faults = result.stdout.split()
    return float(seconds), int(peak_kb), int(faults)

def which(program):
    return subprocess.run(["sh", "-c", "command -v " + program], stdout=subprocess.PIPE,
                          universal_newlines=True).stdout.strip()

wc = which("wc")
commands = {
    "wc": lambda f: ([wc, "-w", f], wc_env),
    "parse": lambda f: ([driver, "parse", f], None),
    "expand": lambda f: ([driver, "expand", f], None),
    "launch": lambda f: ([double, "top", "-f", f], None),
    "bare": lambda f: ([double, "top"], None),
    "chain": lambda f: ([kvel, "top", "-nolog", "-f", f], None),
}
if old:
    commands["old launch"] = lambda f: ([os.path.join(old, "kvel", "kvel_double"), "top", "-f", f], None)
    commands["old chain"] = lambda f: ([os.path.join(old, "kvel", "kvel"), "top", "-nolog", "-f", f], None)
missed = []
per_argument = {}
MiB = 1024.0 * 1024.0

def row(label, key, size, med, peak_kb, faults):
    """One measured command: time, ratio to wc -w, minor faults, peak."""
    print("  %-34s %8.1f ms %6.2f x wc %8d faults %7.1f MiB %5.2f x file" % (
        label, med[key] * 1e3, med[key] / med["wc"], faults[key], peak_kb[key] * 1024 / MiB,
        peak_kb[key] * 1024.0 / size))

labels = [("parse", "cmdfile_driver parse"), ("expand", "cmdfile_driver expand"),
          ("launch", "kvel_double top -f FILE"), ("bare", "kvel_double top"),
          ("chain", "kvel top -nolog -f FILE")]
if old:
    labels += [("old launch", "previous: kvel_double top -f FILE"),
               ("old chain", "previous: kvel top -nolog -f FILE")]
for n in (10000, 100000, 1000000):
    name = "args_%d.txt" % n
    size = os.path.getsize(name)
    samples = {key: [] for key in commands}
    for _ in range(runs):
        for key, build_argv in commands.items():
            argv, env = build_argv(name)
            samples[key].append(measure(argv, env))
    med = {key: statistics.median(t for t, _, _ in s) for key, s in samples.items()}
    peak_kb = {key: max(m for _, m, _ in s) for key, s in samples.items()}
    faults = {key: int(statistics.median(f for _, _, f in s)) for key, s in samples.items()}
    added = med["launch"] - med["bare"]
    per_argument[n] = added / n
    print("%d arguments, file %.1f MB, wc -w %.1f ms; launch minus bare launch %.1f ms, %.0f ns "
          "per argument" % (n, size / 1e6, med["wc"] * 1e3, added * 1e3, per_argument[n] * 1e9))
    for key, label in labels:
        row(label, key, size, med, peak_kb, faults)
    if old:
        print("  new / previous: launch %.3f, whole chain %.3f" % (
            med["launch"] / med["old launch"], med["chain"] / med["old chain"]))
    if n == 1000000:
        launch_ratio = med["launch"] / med["wc"]
        chain_ratio = med["chain"] / med["wc"]
        launch_peak = peak_kb["launch"] * 1024.0 / size
        chain_peak = peak_kb["chain"] * 1024.0 / size
        if launch_ratio > 3.0:
            missed.append("kvel_double top -f FILE at 1M is %.2f x wc -w (target <= 3.0)" % launch_ratio)
        if faults["launch"] > 7000:
            missed.append("kvel_double top -f FILE at 1M takes %d minor page faults (target <= 7000)"
                          % faults["launch"])
        if launch_peak > 2.5:
            missed.append("kvel_double top -f FILE at 1M peaks at %.2f x the file (target <= 2.5)"
                          % launch_peak)
        if chain_ratio > 10.0:
            missed.append("the whole chain at 1M is %.2f x wc -w (target <= 10)" % chain_ratio)
        if chain_peak > 7.0:
            missed.append("the whole chain's peak at 1M is %.2f x the file (target <= 7.0)" % chain_peak)
growth = per_argument[1000000] / per_argument[100000]
print("cost per argument of the launch at 1M / at 100k: %.2f (target within 1.30)" % growth)
if growth > 1.3:
    missed.append("cost per argument grows %.0f%% from 100k to 1M" % ((growth - 1) * 100))
print("times are medians, faults medians of the minor page faults, peaks the largest resident")
print("set of the process alone over the runs (wait4)")
for line in missed:
    print("MISSED: " + line)
sys.exit(1 if missed else 0)
PYTHON
