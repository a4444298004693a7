#!/bin/sh
# What KVEL_EXPLAIN costs a large launch: a command file of COUNT arguments
# (bench/gen_cmdfile.py, default 1,000,000), launched without the account,
# with the text form and with the JSON form, interleaved round by round, side
# by side with the ratios to the launch without it. Measured:
#   unset        the launch, KVEL_EXPLAIN unset
#   text         KVEL_EXPLAIN=1, the account on standard error (/dev/null)
#   text > file  the same with standard error sent to a file
#   json         KVEL_EXPLAIN=json on standard error (/dev/null)
#   json > file  KVEL_EXPLAIN=json with KVEL_EXPLAIN_FILE naming a file
# The launch is `kvel_double top -f FILE` (the double's shell returns at
# once: the launch to the hand-over), or with WHAT=chain `kvel top -nolog -f
# FILE` (the whole chain: the stand-in Tcl shell sources the run script).
# Time is the median of the rounds, peak the largest resident set of the
# process alone (from wait4, through launch_timer --once).
#
#   bench/explain_bench.sh [BUILD_DIR] [RUNS] [COUNT] [WHAT]
#
# BUILD_DIR defaults to build/release (configured with `cmake --preset
# default` when missing); RUNS to 7 (at least 5); WHAT to launch. Target:
# each form within 2.0 x the time and the peak of the unset launch. Exit
# status 1 when one is missed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
runs=${2:-7}
[ "$runs" -ge 5 ] || runs=5
count=${3:-1000000}
what=${4:-launch}

if [ ! -f "$build/CMakeCache.txt" ]; then
  if [ "$build" = "$root/build/release" ]; then
    (cd "$root" && cmake --preset default >/dev/null)
  else
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
fi
cmake --build "$build" --target kvel_double kvel launch_timer -j2 >/dev/null
build=$(cd "$build" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/kvel-explain-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/kvel.dir/top"
: >"$work/kvel.dir/top/kvelk.exe"
python3 "$root/bench/gen_cmdfile.py" "$count" "$work/args.txt"
unset ZEKDOUBLE_RECORD ZEKDOUBLE_STATUS ZEKDOUBLE_THROW ZEKDOUBLE_EVENT ZEKDOUBLE_FAIL ZEKDOUBLE_FAULT \
  KVEL_EXPLAIN KVEL_EXPLAIN_FILE || true

echo "build: $build ($(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")), $runs rounds, medians"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
cd "$work"
status=0
python3 - "$build" "$runs" "$what" <<'PYTHON' || status=$?
import os, statistics, subprocess, sys

build, runs, what = sys.argv[1], int(sys.argv[2]), sys.argv[3]
timer = os.path.join(build, "bench", "launch_timer")
if what == "chain":
    launch = [os.path.join(build, "kvel", "kvel"), "top", "-nolog", "-f", "args.txt"]
else:
    launch = [os.path.join(build, "kvel", "kvel_double"), "top", "-f", "args.txt"]
size = os.path.getsize("args.txt")
base = dict(os.environ)

def env(**values):
    result = dict(base)
    result.update(values)
    return result

def to_file(argv, name):
    """The command with standard error sent to a file; exec keeps the measured process."""
    return ["/bin/sh", "-c", 'exec "$@" 2>' + name, "sh"] + argv

forms = [
    ("unset", launch, base),
    ("text", launch, env(KVEL_EXPLAIN="1")),
    ("text > file", to_file(launch, "account.txt"), env(KVEL_EXPLAIN="1")),
    ("json", launch, env(KVEL_EXPLAIN="json")),
    ("json > file", launch, env(KVEL_EXPLAIN="json", KVEL_EXPLAIN_FILE="account.json")),
]

def measure(argv, environment):
    """Wall seconds, peak resident kilobytes and minor page faults of one run."""
    result = subprocess.run([timer, "--once"] + argv, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                            env=environment)
    if result.returncode != 0:
        sys.exit("failed (%d): %s" % (result.returncode, " ".join(argv)))
    seconds, peak_kb, faults = result.stdout.split()
    return float(seconds), int(peak_kb), int(faults)

samples = {name: [] for name, _, _ in forms}
for _ in range(runs):
    for name, argv, environment in forms:
        samples[name].append(measure(argv, environment))
med = {name: statistics.median(t for t, _, _ in s) for name, s in samples.items()}
peak = {name: max(p for _, p, _ in s) for name, s in samples.items()}
faults = {name: int(statistics.median(f for _, _, f in s)) for name, s in samples.items()}
print("%s -f FILE, file %.1f MB" % ("kvel top -nolog" if what == "chain" else "kvel_double top",
                                    size / 1e6))
print("  %-12s %9s %7s %10s %7s %9s" % ("form", "time", "x unset", "peak", "x unset", "faults"))
missed = []
for name, _, _ in forms:
    time_ratio = med[name] / med["unset"]
    peak_ratio = float(peak[name]) / peak["unset"]
    print("  %-12s %7.1f ms %7.2f %6.1f MiB %7.2f %9d" % (
        name, med[name] * 1e3, time_ratio, peak[name] / 1024.0, peak_ratio, faults[name]))
    if time_ratio > 2.0:
        missed.append("%s takes %.2f x the time of the unset launch (target <= 2.0)"
                      % (name, time_ratio))
    if peak_ratio > 2.0:
        missed.append("%s peaks at %.2f x the unset launch (target <= 2.0)" % (name, peak_ratio))
for name in ("account.txt", "account.json"):
    if os.path.exists(name):
        print("  %s: %.1f MB" % (name, os.path.getsize(name) / 1e6))
for line in missed:
    print("MISSED: " + line)
sys.exit(1 if missed else 0)
PYTHON
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit "$status"
