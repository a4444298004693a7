#!/bin/sh
# Runs a Windows program under Wine: the emulator of the windows presets
# (programs, tests and GoogleTest's test listing), with the Wine settings of
# cmake/wine-env.sh. KVEL_WINE and KVEL_WINESERVER choose other Wine
# binaries than the system's.
#
# The first Wine program of a prefix starts Wine's background services, and
# they inherit its standard output and error. Were those pipes (ctest reading
# a test's output), they would stay open after the program ended and the
# reader would wait until its timeout. So the program writes into files, which
# are passed on when it ends; its exit status is kept.
set -u
KVEL_SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
. "$KVEL_SOURCE_DIR/cmake/wine-env.sh"
# The first of the candidates that is a command, or nothing.
first_command() {
  for candidate in "$@"; do
    if command -v "$candidate" >/dev/null 2>&1; then
      echo "$candidate"
      return
    fi
  done
}
wine=${KVEL_WINE:-$(first_command /usr/lib/wine/wine64 wine64 wine)}
if [ -z "$wine" ]; then
  echo "run-with-wine: Wine is not installed (scripts/install-deps.sh windows)" >&2
  exit 127
fi
wineserver=${KVEL_WINESERVER:-$(first_command /usr/lib/wine/wineserver64 wineserver64 wineserver)}
if [ -z "$wineserver" ]; then
  echo "run-with-wine: Wine's server is not installed (scripts/install-deps.sh windows)" >&2
  exit 127
fi

# The set-up of the prefix and its server, one caller at a time:
# - A new prefix is made once, before any program runs in it: programs
#   started at the same moment in a prefix that is not there yet trip over
#   each other. The server that made it is waited for until it has ended.
# - By default Wine's server ends a few seconds after its last program, and a
#   program that starts while it ends fails before running ("wine client
#   error:0: recvmsg: Connection reset by peer"). So one server is kept up
#   until $persist seconds after the last program, longer than any pause
#   between the programs of a test run; where one runs already, this ends at
#   once. The server keeps the standard streams it starts with, so they are
#   /dev/null (a pipe of ctest's would stay open as long as the server), and
#   it must not hold the lock, so descriptor 9 is closed for it.
persist=60
prefix=$WINEPREFIX
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&-
    "$wineserver" -w </dev/null >/dev/null 2>&1 9>&-
  fi
  "$wineserver" -p"$persist" </dev/null >/dev/null 2>&1 9>&-
) 9>"$prefix.lock"

# Where the tests' process runner notes a program Wine failed to start at the
# first try (a Windows path: Wine's drive Z: is the root folder).
KVEL_START_RETRY_LOG=${KVEL_START_RETRY_LOG:-Z:$(dirname "$prefix")/wine-start-retries.log}
export KVEL_START_RETRY_LOG

out=$(mktemp "${TMPDIR:-/tmp}/kvel-wine-out.XXXXXX") || exit 125
err=$(mktemp "${TMPDIR:-/tmp}/kvel-wine-err.XXXXXX") || { rm -f "$out"; exit 125; }
started=$(date +%s.%N)
"$wine" "$@" >"$out" 2>"$err"
status=$?
# A test program (GoogleTest's main writes a line before anything else) that
# fails without writing anything did not reach its main: noted with its
# status and time for scripts/show-wine-retries.sh, since with no debug
# channels Wine says nothing about it. It is not run again.
case ${1:-} in
  *_test.exe)
    if [ $status -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
      awk -v now="$(date +%s.%N)" -v started="$started" -v program="${1##*/}" -v status=$status \
        -v at="$(date -u +%H:%M:%S)" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
          printf "%s %s: status %d after %.2f s, nothing written (load %s)\n",
            at, program, status, now - started, load }' >>"$(dirname "$prefix")/wine-silent-ends.log"
    fi
    ;;
esac
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $status
