#!/bin/sh
# Runs the kvel example (examples/counter) in a temporary copy and shows the
# run script and what the shell received.
#
#   scripts/run-example.sh [path/to/kvel]
#
# The kvel program defaults to $KVEL, then build/release/kvel/kvel. With
# KVEL_RUNNER set (e.g. to wine64 for a Windows build) kvel runs through it;
# the CR LF line ends of a Windows program are then shown as plain lines.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
kvel=${1:-${KVEL:-$root/build/release/kvel/kvel}}
case $kvel in
  /*) ;;
  *) kvel=$(pwd)/$kvel ;;
esac
if [ ! -x "$kvel" ]; then
  echo "run-example: no kvel program at $kvel (build it first: cmake --preset default && cmake --build --preset default)" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kvel-example.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
cp -R "$root/examples/counter/." "$work"
cd "$work"

export COUNTER_WIDTH="${COUNTER_WIDTH:-8}"
export SEED="${SEED:-7}"

echo "\$ COUNTER_WIDTH=$COUNTER_WIDTH SEED=$SEED kvel counter -f counter.f"
status=0
${KVEL_RUNNER:+"$KVEL_RUNNER"} "$kvel" counter -f counter.f </dev/null >shell.raw 2>&1 || status=$?
tr -d '\r' <shell.raw >shell.out
sed 's/^/  | /' shell.out
echo "exit status: $status"
echo

for script in kvel.dir/*/kvel_script.tcl; do
  [ -f "$script" ] || continue
  echo "run script $script:"
  tr -d '\r' <"$script" | sed 's/^/  | /'
  echo
done

if [ -f counter_sim.log ]; then
  echo "shell arguments (first line of its log counter_sim.log):"
  head -n 1 counter_sim.log | tr -d '\r' | sed 's/^# /  | /'
  echo
fi

echo "words the simulator's kvel command received:"
grep '^kvel: ' shell.out | sed 's/^kvel: /  | /' || echo "  (none)"
exit "$status"
