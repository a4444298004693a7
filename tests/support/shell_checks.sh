# Sourced by the shell tests: a throw-away working folder and the counting of
# failed checks.
#
#   . "$(dirname "$0")/../support/shell_checks.sh"
#   make_work NAME      $work: a new folder, removed when the script exits
#   fail TEXT...        reports a failed check and counts it
#   finish TEXT...      exits 1 when a check failed, else prints TEXT, exits 0

make_work() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX") || exit 1
  trap 'rm -rf "$work"' EXIT
}

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "$*"
  exit 0
}
